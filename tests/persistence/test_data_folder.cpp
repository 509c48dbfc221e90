// Where the data folder lands for each environment, where recordings go,
// and which legacy copy of a data file moves into the data folder.

#include <gtest/gtest.h>

#include <cstdlib>

#include "persistence/data_folder.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

// Each variable is unset when null; "@" stands for the test's folder.
struct Environment {
    const char *xdgDataHome, *home, *localAppData, *expectedBase;
};

class DataFolder : public FreshProcessTest, public ::testing::WithParamInterface<Environment> {};

TEST_P(DataFolder, IsTheKnownFolderElseLocalAppDataElseTheTemporaryFolder) {
    if (!InFreshProcess()) return;
    const auto place = [&](std::string v) { return v.starts_with('@') ? v.replace(0, 1, root.string()) : v; };
    const std::pair<const char*, const char*> variables[] = {
        {"XDG_DATA_HOME", GetParam().xdgDataHome}, {"HOME", GetParam().home}, {"LOCALAPPDATA", GetParam().localAppData}};
    for (const auto& [name, value] : variables) value != nullptr ? setenv(name, place(value).c_str(), 1) : unsetenv(name);
    const std::string folder = place(GetParam().expectedBase) + "/Brivanta/Sonavela";
    EXPECT_EQ(GetDataFolder(), folder);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(DataFilePath(nullptr), folder + "/");
    EXPECT_EQ(ConfigPath(), folder + "/sonavela_config.txt");
    EXPECT_EQ(UserPresetsPath(), folder + "/sonavela_user_presets.txt");
    EXPECT_EQ(SongLibraryPath(), folder + "/recent_songs.txt");
}

INSTANTIATE_TEST_SUITE_P(Environments, DataFolder,
                         ::testing::Values(Environment{"@/data//", "@/home", "@/lad", "@/data"},
                                           Environment{nullptr, "@/home", "@/lad", "@/home/.local/share"},
                                           Environment{"relative/data", "@/home", nullptr, "@/home/.local/share"},
                                           Environment{nullptr, nullptr, "@/lad\\/", "@/lad"},
                                           Environment{"", "", "", "@/tmp"}));

using DataFiles = FreshProcessTest;

TEST_F(DataFiles, RecordingsGoToTheDocumentsFolderElseTheDataFolder) {
    if (!InFreshProcess()) return;
    const std::string home = root.string() + "/home";
    EXPECT_EQ(GetDefaultRecordingsFolder(), home + "/Documents/Sonavela Recordings");
    WriteFile(root / "config/user-dirs.dirs", "# xdg-user-dirs\nXDG_DOCUMENTS_DIR=\"$HOME/T\\\"ai lieu/\"\n");
    EXPECT_EQ(GetDefaultRecordingsFolder(), home + "/T\"ai lieu/Sonavela Recordings");
    unsetenv("HOME");
    WriteFile(root / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    EXPECT_EQ(GetDefaultRecordingsFolder(), GetDataFolder() + "/Sonavela Recordings");
    EXPECT_FALSE(fs::exists(GetDefaultRecordingsFolder())) << "not created";
}

TEST_F(DataFiles, LegacyCopiesComeFromTheWorkingDirectoryFirstAndNeverReplaceAFile) {
    if (!InFreshProcess()) return;
    fs::create_directories(root / "data/Brivanta/Sonavela");
    WriteFile(root / "data/Brivanta/Sonavela/sonavela_user_presets.txt", "current");
    for (const char* name : {"sonavela_config.txt", "sonavela_user_presets.txt", "recent_songs.txt"}) {
        WriteFile(root / "bin" / name, "beside the program");
        WriteFile(root / "work" / name, "working directory");
    }
    fs::remove(root / "work/recent_songs.txt");
    fs::create_directory(root / "work/recent_songs.txt");  // a folder is skipped
    EXPECT_EQ(ReadFile(ConfigPath()), "working directory");
    EXPECT_EQ(ReadFile(UserPresetsPath()), "current");
    EXPECT_EQ(ReadFile(SongLibraryPath()), "beside the program");
    EXPECT_EQ(ReadFile(root / "work/sonavela_config.txt"), "working directory") << "the legacy file stays";
    fs::remove(ConfigPath());
    EXPECT_FALSE(fs::exists(ConfigPath())) << "migrated once per run";
}
}  // namespace
