#include "platform/record_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/wide_text.h"

namespace {
// WriteFile and ReadFile count in 32 bits.
constexpr size_t kMaxChunk = size_t{1} << 30;

HANDLE Handle(const RecordFileHandle& file) { return reinterpret_cast<HANDLE>(file.handle); }

bool Fail(std::string& reason) {
    reason = SystemErrorText(GetLastError());
    return false;
}

bool Position(HANDLE h, LARGE_INTEGER& at) {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(h, zero, &at, FILE_CURRENT) != 0;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

// Calls `io(done, chunk, moved)` until `bytes` have moved; a call that moves
// nothing fails with `stalled`.
template <typename Io>
bool MoveAll(size_t bytes, size_t& done, const char* stalled, std::string& reason, Io io) {
    done = 0;
    while (done < bytes) {
        DWORD moved = 0;
        if (!io(done, static_cast<DWORD>(std::min(bytes - done, kMaxChunk)), moved)) return Fail(reason);
        if (moved == 0) {
            reason = stalled;
            return false;
        }
        done += moved;
    }
    return true;
}

// A positioned call on a handle without overlapped I/O moves the file
// pointer: it is put back, so appends go on where they were.
template <typename Io>
bool KeepingPosition(HANDLE h, std::string& reason, Io io) {
    LARGE_INTEGER at{};
    if (!Position(h, at)) return Fail(reason);
    const bool done = io();
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && done) return Fail(reason);
    return done;
}
}  // namespace

bool CreateRecordFile(const std::string& path, RecordFileHandle& file, bool& nameTaken, std::string& reason) {
    nameTaken = false;
    // Others may read the take while it grows, but no one else writes it: a
    // repair opening it to write is refused until the take is closed.
    const HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return Fail(reason);
    }
    file.handle = reinterpret_cast<intptr_t>(h);
    return true;
}

bool OpenRecordFileToRepair(const std::string& path, RecordFileHandle& file, bool& writable, bool& leaveAlone,
                            std::string& reason) {
    writable = true;
    leaveAlone = false;
    const std::wstring wide = Utf8ToWide(path);
    // The link itself, never its target: a link is left alone below.
    const auto open = [&](DWORD access) {
        return CreateFileW(wide.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    };
    HANDLE h = open(GENERIC_READ | GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE && (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_WRITE_PROTECT)) {
        writable = false;
        h = open(GENERIC_READ);
    }
    if (h == INVALID_HANDLE_VALUE) {
        leaveAlone = GetLastError() == ERROR_SHARING_VIOLATION;
        return Fail(reason);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & notPlain) != 0) {
        leaveAlone = true;
        reason = "not a regular file, or a take still writes it";
        CloseHandle(h);
        return false;
    }
    file.handle = reinterpret_cast<intptr_t>(h);
    return true;
}

bool RecordFileSize(RecordFileHandle& file, uint64_t& size, std::string& reason) {
    LARGE_INTEGER bytes{};
    if (!GetFileSizeEx(Handle(file), &bytes)) return Fail(reason);
    size = static_cast<uint64_t>(bytes.QuadPart);
    return true;
}

bool ReadRecordFileAt(RecordFileHandle& file, uint64_t offset, void* data, size_t bytes, std::string& reason) {
    auto* p = static_cast<char*>(data);
    return KeepingPosition(Handle(file), reason, [&] {
        size_t done = 0;
        return MoveAll(bytes, done, "the file is shorter than expected", reason, [&](size_t at, DWORD n, DWORD& got) {
            OVERLAPPED o = At(offset + at);
            // The end of the file reads as no bytes or as ERROR_HANDLE_EOF.
            if (ReadFile(Handle(file), p + at, n, &got, &o)) return true;
            got = 0;
            return GetLastError() == ERROR_HANDLE_EOF;
        });
    });
}

bool AppendRecordFile(RecordFileHandle& file, const void* data, size_t bytes, size_t& written, std::string& reason) {
    const auto* p = static_cast<const char*>(data);
    return MoveAll(
        bytes, written, "the file system accepted no more data", reason,
        [&](size_t at, DWORD n, DWORD& moved) { return WriteFile(Handle(file), p + at, n, &moved, nullptr); });
}

bool WriteRecordFileAt(RecordFileHandle& file, uint64_t offset, const void* data, size_t bytes, std::string& reason) {
    const auto* p = static_cast<const char*>(data);
    return KeepingPosition(Handle(file), reason, [&] {
        size_t done = 0;
        return MoveAll(bytes, done, "the disk is full", reason, [&](size_t at, DWORD n, DWORD& moved) {
            OVERLAPPED o = At(offset + at);
            return WriteFile(Handle(file), p + at, n, &moved, &o) != 0;
        });
    });
}

bool TruncateRecordFile(RecordFileHandle& file, uint64_t size, std::string& reason) {
    return KeepingPosition(Handle(file), reason, [&] {
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        return (SetFilePointerEx(Handle(file), end, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(file))) || Fail(reason);
    });
}

bool SyncRecordFile(RecordFileHandle& file, std::string& reason) {
    return FlushFileBuffers(Handle(file)) != 0 || Fail(reason);
}

bool CloseRecordFile(RecordFileHandle& file, std::string& reason) {
    const HANDLE h = Handle(file);
    file.handle = -1;
    return CloseHandle(h) != 0 || Fail(reason);
}

void RemoveRecordFile(const std::string& path) { DeleteFileW(Utf8ToWide(path).c_str()); }
