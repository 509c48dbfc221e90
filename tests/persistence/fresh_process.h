#pragma once
// The data folder is built once per process, so a test of it runs its body
// again in a copy of this binary in its own temporary folder, whose "home",
// "data", "config" and "tmp" are the user's folders and "work" the working one.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class FreshProcessTest : public ::testing::Test {
protected:
    std::filesystem::path root;  // the test's own temporary folder, once InFreshProcess ran
    // True in the new process, which runs the body; the test's own process runs it, expects a pass, gets false.
    bool InFreshProcess();
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
inline std::string ReadFile(const std::filesystem::path& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}
