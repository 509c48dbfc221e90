// The device policy saves the config: the data folder is a private one, set before anything asks for it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <random>
#include <string>

namespace {
// putenv keeps the text itself on some systems: each one lives as long as the process.
void SetVariable(const std::string& name, const std::filesystem::path& value) {
    static std::list<std::string> kept;
    kept.push_back(name + "=" + value.string());
    putenv(kept.back().data());
}

struct PrivateDataFolder : ::testing::Environment {
    std::filesystem::path folder;
    void SetUp() override {
        std::random_device random;
        do {
            folder = std::filesystem::temp_directory_path() / ("sonavela-devices-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(folder));
        // The XDG folders on Linux; LOCALAPPDATA where Windows has no known folder to give.
        SetVariable("HOME", folder);
        SetVariable("XDG_DATA_HOME", folder / "data");
        SetVariable("XDG_CONFIG_HOME", folder / "config");
        SetVariable("LOCALAPPDATA", folder / "data");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
};
const auto* const registered = ::testing::AddGlobalTestEnvironment(new PrivateDataFolder);
}  // namespace
