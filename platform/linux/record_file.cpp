#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
int Descriptor(const RecordFileHandle& file) { return static_cast<int>(file.handle); }

bool Fail(std::string& reason) {
    reason = std::strerror(errno);
    return false;
}
}  // namespace

bool CreateRecordFile(const std::string& path, RecordFileHandle& file, bool& nameTaken, std::string& reason) {
    nameTaken = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        nameTaken = errno == EEXIST;
        return Fail(reason);
    }
    // Advisory and released with the descriptor, also when the process dies.
    ::flock(fd, LOCK_EX | LOCK_NB);
    file.handle = fd;
    return true;
}

bool OpenRecordFileToRepair(const std::string& path, RecordFileHandle& file, bool& writable, bool& leaveAlone,
                            std::string& reason) {
    writable = true;
    leaveAlone = false;
    // Non-blocking, so a FIFO or a device node named like a take cannot hold the open.
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | flags);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        writable = false;
        fd = ::open(path.c_str(), O_RDONLY | flags);
    }
    if (fd < 0) {
        leaveAlone = errno == ELOOP;
        return Fail(reason);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        leaveAlone = true;
        reason = "not a regular file, or a take still writes it";
        ::close(fd);
        return false;
    }
    file.handle = fd;
    return true;
}

bool RecordFileSize(RecordFileHandle& file, uint64_t& size, std::string& reason) {
    struct stat st {};
    if (::fstat(Descriptor(file), &st) != 0) return Fail(reason);
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

namespace {
// Calls `io(done)` until `bytes` have moved, retrying interrupted calls; a
// call that moves nothing fails with `stalled`.
template <typename Io>
bool MoveAll(size_t bytes, size_t& done, const char* stalled, std::string& reason, Io io) {
    done = 0;
    while (done < bytes) {
        const ssize_t n = io(done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(reason);
        if (n == 0) {
            reason = stalled;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool ReadRecordFileAt(RecordFileHandle& file, uint64_t offset, void* data, size_t bytes, std::string& reason) {
    auto* p = static_cast<char*>(data);
    size_t done = 0;
    return MoveAll(bytes, done, "the file is shorter than expected", reason, [&](size_t at) {
        return ::pread(Descriptor(file), p + at, bytes - at, static_cast<off_t>(offset + at));
    });
}

bool AppendRecordFile(RecordFileHandle& file, const void* data, size_t bytes, size_t& written, std::string& reason) {
    const auto* p = static_cast<const char*>(data);
    return MoveAll(bytes, written, "the file system accepted no more data", reason,
                   [&](size_t at) { return ::write(Descriptor(file), p + at, bytes - at); });
}

bool WriteRecordFileAt(RecordFileHandle& file, uint64_t offset, const void* data, size_t bytes, std::string& reason) {
    const auto* p = static_cast<const char*>(data);
    size_t done = 0;
    return MoveAll(bytes, done, std::strerror(ENOSPC), reason, [&](size_t at) {
        return ::pwrite(Descriptor(file), p + at, bytes - at, static_cast<off_t>(offset + at));
    });
}

bool TruncateRecordFile(RecordFileHandle& file, uint64_t size, std::string& reason) {
    return ::ftruncate(Descriptor(file), static_cast<off_t>(size)) == 0 || Fail(reason);
}

bool SyncRecordFile(RecordFileHandle& file, std::string& reason) {
    return ::fdatasync(Descriptor(file)) == 0 || Fail(reason);
}

bool CloseRecordFile(RecordFileHandle& file, std::string& reason) {
    const int fd = Descriptor(file);
    file.handle = -1;
    // On Linux the descriptor is gone even when close reports an error, so it is never retried.
    return ::close(fd) == 0 || Fail(reason);
}

void RemoveRecordFile(const std::string& path) { ::unlink(path.c_str()); }
