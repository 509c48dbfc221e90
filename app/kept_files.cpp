#include "app/kept_files.h"

#include <string>

#include "app/notices.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"

namespace {
std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// What the user needs to know of one file; empty when it was read whole.
std::string Trouble(const KeptFile& file, const std::string& path) {
    const std::string name = FileName(path);
    const std::string kept =
        " Ban goc se duoc giu lai thanh " + name + ".before_save.<ngay gio>.bak truoc lan luu dau tien.";
    std::string text;
    if (file.read == FileRead::Unreadable) {
        text = "Khong doc duoc " + name + " (" + file.reason + "); Sonavela tam dung gia tri mac dinh." + kept;
    } else if (file.read == FileRead::Partial) {
        text = name + " qua lon, Sonavela chi doc phan dau." + kept;
    }
    if (!file.unreadLines.empty()) {
        if (!text.empty()) text += "\n";
        text += name + " co " + std::to_string(file.unreadLines.size()) +
                " dong phien ban nay khong doc duoc (vi du tu phien ban moi hon); cac dong do duoc giu nguyen.";
    }
    return text;
}
}  // namespace

void LoadKeptFiles() {
    LoadConfig();
    LoadUserPresets();
    LoadSongLibrary();
    std::string text;
    for (const auto& [file, path] :
         {std::pair{&configFile, &ConfigPath()}, std::pair{&userPresetsFile, &UserPresetsPath()},
          std::pair{&songLibraryFile, &SongLibraryPath()}}) {
        const std::string trouble = Trouble(*file, *path);
        if (!trouble.empty()) text += trouble + "\n\n";
    }
    if (text.empty()) return;
    // Before the window exists: the start-up notices stand alone.
    PostNotice("Sonavela - Du lieu", text + "Thu muc du lieu: " + GetDataFolder(), MessageIcon::Warning, false);
}
