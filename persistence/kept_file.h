#pragma once
// What the singer keeps in a file is never replaced by less without a copy:
// a file that could not be read whole is kept under a backup name before the
// first save over it, and the lines a loader could not read are written back
// as they were. Backups are dated and never replace one another.

#include <string>
#include <vector>

#include "persistence/atomic_file.h"

// What the last load of one kept file found.
struct KeptFile {
    FileRead read = FileRead::Absent;
    std::string reason;                    // why it could not be read, in the system's words
    std::vector<std::string> unreadLines;  // lines this version could not read, written back as they were
    bool keepBeforeSave = false;           // not read whole (or repaired): kept before it is replaced
    std::string backup;                    // where the file as loaded was kept, once it was
};

// Backups of one file and kind kept; the oldest go first.
inline constexpr size_t kMaxBackups = 10;

// Reads a kept file into `text` and records what was found (the loader
// fills the unread lines).
std::string LoadKeptFile(KeptFile& file, const std::string& path, size_t maxBytes);
// Replaces the file atomically. One that was not read whole is first kept
// as "<name>.before_save.<date>.bak"; when that copy cannot be made nothing is written.
bool SaveKeptFile(KeptFile& file, const std::string& path, const std::string& text);

// Copies the file the path leads to as "<name>.<kind>.YYYYMMDD_hhmmss.bak"
// beside it ("_2", "_3"... within one second); a file that cannot be read
// gets that second name instead, so the caller must replace it by a rename.
// Removes the oldest of that kind past kMaxBackups. The backup's path, or
// empty when nothing could be kept.
std::string BackUpFile(const std::string& path, const std::string& kind);
