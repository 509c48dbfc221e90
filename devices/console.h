#pragma once
// Lines for the console window: what a person supporting the singer reads
// when something did not come up.

#include <cstdio>
#include <string>

inline void Console(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}
