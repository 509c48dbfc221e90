#include "persistence/data_folder.h"

#include <climits>
#include <filesystem>
#include <system_error>
#include <vector>

#include "persistence/kept_file.h"
#include "platform/file_access.h"
#include "platform/known_paths.h"

namespace fs = std::filesystem;

namespace {
std::string WithoutTrailingSeparators(std::string path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

// A base counts only when it would fit the system's path buffer.
bool UsableBase(const std::string& base) { return !base.empty() && base.size() < PATH_MAX; }

std::string DataFolderBase() {
    for (const std::string& base : {LocalAppDataFolder(), EnvironmentText("LOCALAPPDATA")}) {
        if (UsableBase(base)) return base;
    }
    return TempFolder();
}

std::string BuildDataFolder() {
    const std::string folder =
        WithoutTrailingSeparators(DataFolderBase()) + kPathSeparator + "Brivanta" + kPathSeparator + "Sonavela";
    // Parents too: a fresh account has no ~/.local/share yet. Failures show
    // later as absent files.
    std::error_code ignored;
    fs::create_directories(Utf8Path(folder), ignored);
    return folder;
}

// The first legacy copy that is a plain file wins: the working directory's,
// then the one beside the program. An existing data file is never replaced.
void MigrateLegacyFile(const std::string& name, const std::string& path) {
    std::vector<std::string> candidates{name};
    const std::string program = ExecutablePath();
    const size_t slash = program.find_last_of("/\\");
    if (slash != std::string::npos) candidates.push_back(program.substr(0, slash) + kPathSeparator + name);
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(Utf8Path(candidate), error) &&
            fs::copy_file(Utf8Path(candidate), Utf8Path(path), fs::copy_options::none, error)) {
            return;
        }
    }
}

struct DataFiles {
    std::string songLibrary;
    std::string config;
    std::string userPresets;
};

// Composed together, in this order, on the first request of any of them.
const DataFiles& Files() {
    static const DataFiles files{DataFilePath("recent_songs.txt"), DataFilePath("sonavela_config.txt"),
                                 DataFilePath("sonavela_user_presets.txt")};
    return files;
}
}  // namespace

const std::string& GetDataFolder() {
    static const std::string folder = BuildDataFolder();
    return folder;
}

std::string DataFilePath(const char* name) {
    std::string path = GetDataFolder() + kPathSeparator;
    if (name == nullptr || *name == '\0') return path;
    path += name;
    std::error_code error;
    // A dangling link counts as present: the copy would go through it.
    if (!fs::exists(fs::symlink_status(Utf8Path(path), error))) MigrateLegacyFile(name, path);
    return path;
}

std::string GetDefaultRecordingsFolder() {
    std::string documents = DocumentsFolder();
    if (documents.empty()) documents = GetDataFolder();
    return WithoutTrailingSeparators(documents) + kPathSeparator + "Sonavela Recordings";
}

std::string BackupConfigFile(const char* kind) { return BackUpFile(ConfigPath(), kind); }

const std::string& ConfigPath() { return Files().config; }
const std::string& UserPresetsPath() { return Files().userPresets; }
const std::string& SongLibraryPath() { return Files().songLibrary; }
