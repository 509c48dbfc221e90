#include "persistence/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/file_access.h"
#include "platform/file_sync.h"

namespace fs = std::filesystem;

namespace {
// As many links as the system itself follows before it calls it a loop.
constexpr int kMaxLinkHops = 40;

bool WriteAll(const std::string& path, const std::string& text) {
    std::FILE* f = OpenFileStream(path, "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && SyncFileToDisk(f);
    return std::fclose(f) == 0 && written;
}
}  // namespace

bool ResolveLinks(const std::string& path, std::string& resolved) {
    fs::path at = Utf8Path(path);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(at, error))) {
            resolved = Utf8PathText(at);
            return true;
        }
        const fs::path target = fs::read_symlink(at, error);
        if (error) return false;
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return false;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    // Renaming over the link itself would leave a plain file where the user keeps a link.
    std::string target;
    if (!ResolveLinks(path, target)) return false;
    const std::string temporary = target + ".partial";
    std::error_code error;
    if (!WriteAll(temporary, text)) {
        fs::remove(Utf8Path(temporary), error);
        return false;
    }
    fs::rename(Utf8Path(temporary), Utf8Path(target), error);
    if (error) {
        fs::remove(Utf8Path(temporary), error);
        return false;
    }
    SyncFolderToDisk(Utf8PathText(Utf8Path(target).parent_path()));
    return true;
}

FileRead ReadTextFile(const std::string& path, std::string& text, size_t maxBytes, std::string* reason) {
    text.clear();
    std::error_code error;
    const fs::file_status status = fs::status(Utf8Path(path), error);
    if (status.type() == fs::file_type::not_found) return FileRead::Absent;
    const auto unreadable = [&](const std::string& why) {
        if (reason != nullptr) *reason = why;
        text.clear();
        return FileRead::Unreadable;
    };
    if (error) return unreadable(error.message());
    if (status.type() == fs::file_type::directory) return unreadable(std::strerror(EISDIR));
    if (status.type() != fs::file_type::regular) return unreadable("not a regular file");
    std::FILE* f = OpenFileStream(path, "rb");
    if (f == nullptr) return unreadable(std::strerror(errno));
    char chunk[65536];
    size_t got = 0;
    // One byte past the bound tells a file of exactly maxBytes from a longer one.
    while (text.size() <= maxBytes &&
           (got = std::fread(chunk, 1, std::min(sizeof chunk, maxBytes + 1 - text.size()), f)) > 0) {
        text.append(chunk, got);
    }
    const int failure = std::ferror(f) != 0 ? errno : 0;
    std::fclose(f);
    if (failure != 0) return unreadable(std::strerror(failure));
    if (text.size() <= maxBytes) return FileRead::Whole;
    // A line cut by the bound is not what the user wrote: it is left with the unread rest.
    const size_t lastLineEnd = text.rfind('\n', maxBytes - 1);
    text.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
    return FileRead::Partial;
}
