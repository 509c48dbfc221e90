// Where the data folder lands for each environment, which legacy copy moves
// in, where recordings go, and what the song library file holds.

#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

// XDG_DATA_HOME, HOME, LOCALAPPDATA (unset when null) and the expected base; "@" is the test's folder.
using Environment = std::array<const char*, 4>;
struct DataFolder : FreshProcessTest, ::testing::WithParamInterface<Environment> {};

TEST_P(DataFolder, IsTheKnownFolderElseLocalAppDataElseTheTemporaryFolder) {
    if (!InFreshProcess()) return;
    const auto place = [&](std::string v) { return v.starts_with('@') ? v.replace(0, 1, root.string()) : v; };
    for (size_t i = 0; i < 3; ++i) {
        const char* name = std::array{"XDG_DATA_HOME", "HOME", "LOCALAPPDATA"}[i];
        GetParam()[i] != nullptr ? setenv(name, place(GetParam()[i]).c_str(), 1) : unsetenv(name);
    }
    const std::string folder = place(GetParam()[3]) + "/Brivanta/Sonavela";
    EXPECT_TRUE(GetDataFolder() == folder && fs::is_directory(folder) && DataFilePath(nullptr) == folder + "/");
}
INSTANTIATE_TEST_SUITE_P(Environments, DataFolder,
                         ::testing::Values(Environment{"@/data//", "@/home", "@/lad", "@/data"},
                                           Environment{"relative/data", "@/home", "@/lad", "@/home/.local/share"},
                                           Environment{nullptr, nullptr, "@/lad\\/", "@/lad"},
                                           Environment{"", "", "", "@/tmp"}));

using DataFiles = FreshProcessTest;

TEST_F(DataFiles, LegacyCopiesComeFromTheWorkingDirectoryFirstAndRecordingsFromTheDocumentsFolder) {
    if (!InFreshProcess()) return;
    fs::create_directories(root / "data/Brivanta/Sonavela");
    WriteFile(root / "data/Brivanta/Sonavela/sonavela_user_presets.txt", "current");
    for (const char* name : {"sonavela_config.txt", "sonavela_user_presets.txt", "recent_songs.txt"}) {
        WriteFile(root / "bin" / name, "beside the program");
        WriteFile(root / "work" / name, "working directory");
    }
    fs::remove(root / "work/recent_songs.txt");
    fs::create_directory(root / "work/recent_songs.txt");  // a folder is skipped
    EXPECT_TRUE(ReadFile(ConfigPath()) == "working directory" && ReadFile(UserPresetsPath()) == "current");
    EXPECT_TRUE(ReadFile(SongLibraryPath()) == "beside the program" && fs::exists(root / "work/sonavela_config.txt"));
    fs::remove(ConfigPath());
    EXPECT_FALSE(fs::exists(ConfigPath())) << "migrated once per run";
    const std::string home = root.string() + "/home";
    EXPECT_EQ(GetDefaultRecordingsFolder(), home + "/Documents/Sonavela Recordings");
    WriteFile(root / "config/user-dirs.dirs", "# xdg-user-dirs\nXDG_DOCUMENTS_DIR=\"$HOME/T\\\"ai lieu/\"\n");
    EXPECT_EQ(GetDefaultRecordingsFolder(), home + "/T\"ai lieu/Sonavela Recordings");
    unsetenv("HOME");
    WriteFile(root / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    EXPECT_TRUE(GetDefaultRecordingsFolder() == GetDataFolder() + "/Sonavela Recordings" &&
                !fs::exists(GetDefaultRecordingsFolder()));
}

TEST_F(DataFiles, TheSongLibraryKeepsWhatThePanelDoesAndSearchesIt) {
    if (!InFreshProcess()) return;
    fs::create_directories(SongLibraryPath());  // a folder is no library: the starter songs, and it stays
    LoadSongLibrary();
    EXPECT_TRUE(songLibrary.songs.size() == 3 && songLibrary.songs[0].favorite && !SaveSongLibrary() &&
                fs::is_directory(SongLibraryPath()) && !fs::exists(SongLibraryPath() + ".partial"));
    fs::remove(SongLibraryPath());
    WriteFile(SongLibraryPath(), "Ba|u|1.5|1\r\nthree|fields|0\n\nfive|x|-2|1|extra\nword|x|2|true\nnotone|x|loud|01");
    LoadSongLibrary();
    EXPECT_EQ(FormatSongLibrary(songLibrary.songs, songLibraryFile.unreadLines),
              "Ba|u|1.5|1\nfive|x|-2|1|extra\nword|x|2|0\nnotone|x|0|0\nthree|fields|0\n");
    songLibrary.songs.clear();
    ASSERT_TRUE(AddSong("x", "", 0.0f) && AddSong("Tình ca | bolero\nnew", "https://youtu.be/x?a=1|b", -1.5f));
    EXPECT_TRUE(ToggleSongFavorite(1) && UpdateSongTone(0, 5.0f) && EditSong(1, "A mới", "https://example.org"));
    EXPECT_FALSE(EditSong(0, "", "x") || ToggleSongFavorite(2) || UpdateSongTone(2, 0) || DeleteSong(2) ||
                 AddSong("", "x", 0));
    LoadSongLibrary();
    EXPECT_EQ(FormatSongLibrary(songLibrary.songs),
              "Tình ca   bolero new|https://youtu.be/x?a=1 b|3|0\nA mới|https://example.org|0|1\n");
    ASSERT_TRUE(DeleteSong(1));
    LoadSongLibrary();
    EXPECT_TRUE(songLibrary.songs.size() == 1 && songLibrary.songs[0].tone == 3.0f);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(AddSong("song " + std::to_string(i), "", 0.0f));
    LoadSongLibrary();
    EXPECT_TRUE(songLibrary.songs.size() == 100 && songLibrary.songs.back().name == "song 0") << "the oldest goes";
    EXPECT_TRUE(SongPlayTone({"x", "", 5.0f, false, ""}) == 3.0f && SongPlayTone({"x", "", -9.0f, false, ""}) == -3.0f);
    const SongEntry song{"Mưa trên biển vắng", "https://youtu.be/AbC", 0.0f, false, ""};
    EXPECT_TRUE(SongMatches(song, "") && SongMatches(song, "BIển") && SongMatches(song, "youtu.be/abc"));
    EXPECT_FALSE(SongMatches(song, "MƯA TRÊN") || SongMatches(song, "karaoke")) << "only ASCII letters fold";
}
}  // namespace
