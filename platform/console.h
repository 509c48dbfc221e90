#pragma once
// Lines for the console window: what a person supporting the singer reads
// when something did not come up. Every line the program prints goes here.

#include <string>
#include <string_view>
#include <vector>

// Any thread but the audio ones (it locks and writes).
void Console(std::string_view text);
// The last warnings printed ("[WARN] ..." lines), oldest first, at most five:
// the diagnostic report carries them.
std::vector<std::string> RecentWarnings();
