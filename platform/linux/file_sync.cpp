#include "platform/file_sync.h"

#include <fcntl.h>
#include <unistd.h>

bool SyncFileToDisk(std::FILE* f) { return std::fflush(f) == 0 && fsync(fileno(f)) == 0; }

void SyncFolderToDisk(const std::string& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}
