// What the singer keeps survives whatever this version cannot read: a file it
// could not read whole is kept aside before the first save over it, lines it
// does not know are written back as they were, the user is told once,
// backups never replace one another and a linked config stays a link.

#include "app/kept_files.h"
#include "app/notices.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

struct KeptFiles : FreshProcessTest {};

TEST_F(KeptFiles, UnreadablePartlyReadAndNewerFilesSurviveALoadAndASaveAndAreToldOnce) {
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

TEST_F(KeptFiles, BackupsAccumulateAndALinkedConfigStaysALink) {
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
