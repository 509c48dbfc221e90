#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

std::filesystem::path Utf8Path(const std::string& path) { return std::filesystem::path(path); }

std::string Utf8PathText(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenFileStream(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int OpenFileToRead(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int CreateUniqueFile(const std::string& stem, const std::string& suffix, std::string& path, std::string& reason) {
    std::vector<char> name(stem.begin(), stem.end());
    const std::string pattern = ".XXXXXX" + suffix;
    name.insert(name.end(), pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemps(name.data(), static_cast<int>(suffix.size()), O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    path = name.data();
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);  // as any new file, not mkstemp's owner-only mode
    return fd;
}

bool SyncDescriptor(int descriptor, std::string& reason) {
    if (fsync(descriptor) == 0) return true;
    reason = std::strerror(errno);
    return false;
}

void CloseDescriptor(int descriptor) { ::close(descriptor); }

bool LinkFile(const std::string& existing, const std::string& link, bool& taken) {
    taken = false;
    if (::link(existing.c_str(), link.c_str()) == 0) return true;
    taken = errno == EEXIST;
    return false;
}
