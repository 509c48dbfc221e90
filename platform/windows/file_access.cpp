#include "platform/file_access.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/windows/wide_text.h"

std::filesystem::path Utf8Path(const std::string& path) { return std::filesystem::path(Utf8ToWide(path)); }

std::string Utf8PathText(const std::filesystem::path& path) { return WideToUtf8(path.native()); }

std::FILE* OpenFileStream(const std::string& path, const char* mode) {
    return _wfopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str());
}

int OpenFileToRead(const std::string& path) {
    return _wopen(Utf8ToWide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int CreateUniqueFile(const std::string& stem, const std::string& suffix, std::string& path, std::string& reason) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + ".";
        for (int i = 0; i < 6; ++i) name += kLetters[letter(pick)];
        name += suffix;
        const int fd = _wopen(Utf8ToWide(name).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT,
                              _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            path = name;
            return fd;
        }
        if (errno != EEXIST) break;
    }
    reason = std::strerror(errno);
    return -1;
}

bool SyncDescriptor(int descriptor, std::string& reason) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle)) return true;
    reason = SystemErrorText(GetLastError());
    return false;
}

void CloseDescriptor(int descriptor) { _close(descriptor); }

bool LinkFile(const std::string& existing, const std::string& link, bool& taken) {
    taken = false;
    if (CreateHardLinkW(Utf8ToWide(link).c_str(), Utf8ToWide(existing).c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return false;
}
