#include "persistence/atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/file_sync.h"

namespace fs = std::filesystem;

namespace {
bool WriteAll(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && SyncFileToDisk(f);
    return std::fclose(f) == 0 && written;
}
}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".partial";
    std::error_code error;
    if (!WriteAll(temporary, text)) {
        fs::remove(temporary, error);
        return false;
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    SyncFolderToDisk(fs::path(path).parent_path().string());
    return true;
}

bool ReadTextFile(const std::string& path, std::string& text, size_t maxBytes) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    text.clear();
    char chunk[65536];
    size_t got = 0;
    while (text.size() < maxBytes && (got = std::fread(chunk, 1, std::min(sizeof chunk, maxBytes - text.size()), f)) > 0) {
        text.append(chunk, got);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return !failed;
}
