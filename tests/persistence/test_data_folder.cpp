// Where the data folder lands for each environment, which legacy copy moves in, where recordings go, what the
// song library file holds; and that what the singer keeps survives whatever this version cannot read: a file it
// could not read whole is kept aside before the first save over it, lines it does not know are written back as
// they were, the user is told once, backups never replace one another and a linked config stays a link.

#include "app/kept_files.h"
#include "app/notices.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"
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
    fs::create_directory(root / "work/recent_songs.txt");  // a folder is skipped (and no file is written into it)
    for (const char* name : {"sonavela_config.txt", "sonavela_user_presets.txt", "recent_songs.txt"}) {
        WriteFile(root / "bin" / name, "beside the program");
        WriteFile(root / "work" / name, "working directory");
    }
    EXPECT_TRUE(ReadFile(ConfigPath()) == "working directory" && ReadFile(UserPresetsPath()) == "current");
    EXPECT_TRUE(ReadFile(SongLibraryPath()) == "beside the program" && fs::exists(root / "work/sonavela_config.txt"));
    fs::remove(ConfigPath());
    EXPECT_FALSE(fs::exists(ConfigPath())) << "migrated once per run";
    EXPECT_EQ(GetDefaultRecordingsFolder(), root.string() + "/home/Documents/Sonavela Recordings");
    WriteFile(root / "config/user-dirs.dirs", "# xdg-user-dirs\nXDG_DOCUMENTS_DIR=\"$HOME/T\\\"ai lieu/\"\n");
    EXPECT_EQ(GetDefaultRecordingsFolder(), root.string() + "/home/T\"ai lieu/Sonavela Recordings");
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

TEST_F(DataFiles, UnreadablePartlyReadAndNewerFilesSurviveALoadAndASaveAndAreToldOnce) {
    if (!InFreshProcess()) return;
    const auto past = [](size_t megabytes, const char* start, const char* end) {  // the last line cut by the bound
        std::string text;
        for (int i = 0; text.size() <= (megabytes << 20); ++i) text += start + std::to_string(i) + end;
        return text;
    };
    const std::string preset =  // as a save writes it
        "Hoa|1.0000|2.0000|3.0000|4.0000|5.0000|6.0000|7.0000|8.0000|9.0000|10.0000|1|1|1|0|11.0000|12.0000\n";
    // A later version's line, a value that is no number, a name already taken: back as they were.
    const std::string newer =
        preset + "Moi|1|2|3|4|5|6|7|8|9|10|1|1|1|0|11|12|13\nNan|nan|2|3|4|5|6|7|8|9|10|1|1|1|0|11|12\r\n" + preset;
    struct Case {
        const std::string& (*path)();
        std::string text;
        bool unreadable, keptAside;  // kept aside once, before the first save, when not read whole
        bool (*save)();
        std::string saved;  // the file after two saves; its start only for a file kept aside
    };
    const auto saveLibrary = [] { return AddSong("Moi", "", 1.0f); };
    const Case cases[] = {
        {ConfigPath, "vocal_volume=90\n", true, true, SaveConfig, "mic_channel=1\nvocal_volume=100\n"},
        {ConfigPath, past(4, "later_", "=1\n"), false, true, SaveConfig, "mic_channel=1\nvocal_volume=100\n"},
        {UserPresetsPath, preset, true, true, SaveUserPresets, ""},
        {SongLibraryPath, "Ha trang||-1|1\n", true, true, saveLibrary, "Moi||1|0\nMoi||1|0\nMot coi di ve|"},
        {SongLibraryPath, past(1, "Bai ", "||0|0\n"), false, true, saveLibrary, "Moi||1|0\nMoi||1|0\nBai 0||0|0\n"},
        {UserPresetsPath, past(4, "P", "|90|10|20|30|40|5|25|20|30|70|2|1|0|1|60|15\n"), false, true, SaveUserPresets,
         "P0|90.0000|10.0000|"},
        {UserPresetsPath, newer, false, false, SaveUserPresets, newer},
        {SongLibraryPath, "Bai|u|2|1|key=C|x\nkhong du\r\r\nHai||0|0\n", false, false, saveLibrary,
         "Moi||1|0\nMoi||1|0\nBai|u|2|1|key=C|x\nHai||0|0\nkhong du\r\r\n"},
    };
    for (const Case& c : cases) {
        const std::string& path = c.path();
        fs::remove_all(GetDataFolder());
        fs::create_directories(GetDataFolder());
        WriteFile(path, c.text);
        if (c.unreadable) fs::permissions(path, fs::perms::none);
        TakeNotices();
        LoadKeptFiles();
        const std::vector<Notice> told = TakeNotices();
        const std::string name = fs::path(path).filename().string();
        ASSERT_EQ(told.size(), 1u) << name;
        EXPECT_TRUE(told[0].text.find(name) != std::string::npos &&
                    (!c.unreadable || told[0].text.find("Permission denied") != std::string::npos))
            << told[0].text;
        ASSERT_TRUE(c.save() && c.save()) << name;
        const std::string saved = ReadFile(path);
        std::vector<fs::path> kept;  // all but the file itself
        for (const fs::directory_entry& entry : fs::directory_iterator(GetDataFolder()))
            if (entry.path() != path) kept.push_back(entry.path());
        EXPECT_TRUE(c.keptAside ? saved.starts_with(c.saved) : saved == c.saved) << saved.substr(0, 300);
        ASSERT_EQ(kept.size(), c.keptAside ? 1u : 0u) << name;
        if (c.keptAside) {
            fs::permissions(kept[0], fs::perms::owner_read, fs::perm_options::add);
            EXPECT_EQ(ReadFile(kept[0]), c.text) << name << ": byte for byte";
        }
    }
}

TEST_F(DataFiles, BackupsAccumulateAndALinkedConfigStaysALink) {
    if (!InFreshProcess()) return;
    const std::string path = ConfigPath();
    WriteFile(path + ".before_reset.bak", "an older version's backup");
    std::vector<std::string> made;
    for (int i = 0; i < 13; ++i) {
        WriteFile(path, "reverb=" + std::to_string(i) + "\n");
        made.push_back(BackupConfigFile("before_reset"));
    }
    const auto kept = std::distance(fs::directory_iterator(GetDataFolder()), fs::directory_iterator());
    ASSERT_EQ(kept, kMaxBackups + 2) << "the file, the newest ten, and a name it did not make";
    for (size_t i = 3; i < made.size(); ++i) EXPECT_EQ(ReadFile(made[i]), "reverb=" + std::to_string(i) + "\n");
    EXPECT_TRUE(!fs::exists(made[2]) && ReadFile(path + ".before_reset.bak") == "an older version's backup");
    // A name the listing missed (the folder cannot be read) and that cannot be replaced: the next number is taken.
    for (time_t t = time(nullptr), end = t + 3; t < end; ++t) {  // the seconds the backup may be named after
        char stamp[16];
        std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", std::localtime(&t));
        const std::string taken = path + ".before_reset." + stamp + ".bak";
        fs::remove(taken);  // a backup of the loop above, made in this very second
        fs::create_directories(taken + "/kept");
    }
    fs::permissions(GetDataFolder(), fs::perms::owner_write | fs::perms::owner_exec);
    const std::string next = BackupConfigFile("before_reset");
    fs::permissions(GetDataFolder(), fs::perms::owner_all);
    EXPECT_EQ(ReadFile(next), "reverb=12\n") << next;
    // A dotfiles set-up: the config a relative link to a link to the real file, which a save replaces.
    const fs::path dotfiles = root / "home/dotfiles";
    fs::create_directories(dotfiles);
    WriteFile(dotfiles / "real.txt", "reverb=7\n");
    fs::create_symlink("real.txt", dotfiles / "link.txt");
    fs::remove(path);
    fs::create_symlink(dotfiles / "link.txt", path);
    LoadConfig();
    ASSERT_TRUE(appConfig.reverb == 7 && SaveConfig());
    EXPECT_TRUE(fs::is_symlink(path) && fs::is_symlink(dotfiles / "link.txt") &&
                ReadFile(dotfiles / "real.txt") == WriteConfigText(appConfig) &&
                !fs::exists(dotfiles / "real.txt.partial"));
    fs::remove(dotfiles / "real.txt");  // a link to nothing yet: the save makes its file
    EXPECT_TRUE(SaveConfig() && fs::is_symlink(path) && ReadFile(dotfiles / "real.txt") == WriteConfigText(appConfig));
    fs::remove(path);
    fs::create_symlink(path, path);  // a loop is not replaced
    LoadConfig();
    EXPECT_TRUE(configFile.read == FileRead::Unreadable && !SaveConfig() && fs::is_symlink(path));
}
}  // namespace
