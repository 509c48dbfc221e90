// The device policy saves the config: the data folder is a private one, set before anything asks for it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>
#include <string>

namespace {
// putenv keeps the text itself on some systems: it lives, reachable, as long as the process.
void SetVariable(const std::string& name, const std::string& value) {
    static auto* const kept = new std::deque<std::string>;
    putenv(kept->emplace_back(name + "=" + value).data());
}

struct PrivateDataFolder : ::testing::Environment {
    std::filesystem::path folder;
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("sonavela-devices-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(std::filesystem::create_directories(folder));
        const std::string path = folder.string();
        // Each system's names for the user's folders.
        for (const char* name : {"HOME", "USERPROFILE"}) SetVariable(name, path);
        for (const char* name : {"XDG_DATA_HOME", "LOCALAPPDATA"}) SetVariable(name, path + "/data");
        SetVariable("XDG_CONFIG_HOME", path + "/config");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
};
const auto* const registered = ::testing::AddGlobalTestEnvironment(new PrivateDataFolder);
}  // namespace
