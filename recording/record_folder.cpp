#include "recording/record_folder.h"

#include <filesystem>
#include <system_error>

#include "platform/file_access.h"
#include "platform/folder_picker.h"

namespace fs = std::filesystem;

bool EnsureRecordFolder(const std::string& folder, std::string& reason) {
    if (folder == ".") return true;
    if (folder.empty()) {
        reason = "no folder given";
        return false;
    }
    std::error_code error;
    const fs::path path = Utf8Path(folder);
    if (fs::is_directory(path, error)) return true;
    fs::create_directories(path, error);
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) return true;
    reason = error ? error.message() : "not a folder";
    return false;
}

bool StartRecordFolderPick(const std::string& currentFolder, std::string& reason) {
    return StartFolderPick("Chon thu muc luu ban thu Sonavela", currentFolder, reason);
}
