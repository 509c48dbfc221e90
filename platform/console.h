#pragma once
// Lines for the console window: what a person supporting the singer reads
// when something did not come up. Every line the program prints goes here.

#include <cstdio>
#include <string_view>

inline void Console(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
