#include "platform/file_sync.h"

#include <io.h>
#include <windows.h>

bool SyncFileToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

// NTFS keeps a rename in its journal with the file: a folder has nothing to flush.
void SyncFolderToDisk(const std::string&) {}
