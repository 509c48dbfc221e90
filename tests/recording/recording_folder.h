#pragma once
// Each recorder test gets its own empty folder, removed afterwards, and
// starts from an idle recorder and a fresh engine.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine_params.h"
#include "recording/recorder.h"

class RecorderTest : public ::testing::Test {
protected:
    std::filesystem::path folder;
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("sonavela-rec-" + std::to_string(::getpid()) + "-" + test->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        InitEngine();
    }
    void TearDown() override {
        StopRecording();
        std::filesystem::remove_all(folder);
    }
    std::vector<std::filesystem::path> Files(const std::filesystem::path& in) const {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(in)) files.push_back(e.path());
        return files;
    }
};
