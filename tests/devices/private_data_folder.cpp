// The device policy saves the config: the data folder is a private one, set before anything asks for it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {
struct PrivateDataFolder : ::testing::Environment {
    std::string folder = (std::filesystem::temp_directory_path() / "sonavela-devices-XXXXXX").string();
    void SetUp() override {
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        setenv("HOME", folder.c_str(), 1);
        setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
};
const auto* const registered = ::testing::AddGlobalTestEnvironment(new PrivateDataFolder);
}  // namespace
