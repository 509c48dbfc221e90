#pragma once
// The data folder is built once per process, so each test of it runs its
// body again in a new process: a copy of this test binary in the test's own
// temporary folder, whose "home", "data", "config" and "tmp" are the user's
// folders there and whose "work" is the working directory.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class FreshProcessTest : public ::testing::Test {
protected:
    std::filesystem::path root;  // the test's own temporary folder
    void SetUp() override;
    void TearDown() override;
    // True in the new process, which then runs the body; in the test's own
    // process it runs the new one, expects it to pass and returns false.
    bool InFreshProcess();
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}
