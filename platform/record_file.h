#pragma once
// A file written from start to end while a take is recorded: created new
// (an existing file is never replaced), appended to, its header rewritten in
// place, and pushed to the disk on request. The take holds the file locked
// while it is written, so a repair run meanwhile leaves it alone. Every call
// reports failure with the system's reason.

#include <cstddef>
#include <cstdint>
#include <string>

struct RecordFileHandle {
    intptr_t handle = -1;  // the system's descriptor or handle; -1 when closed
};

inline bool IsRecordFileOpen(const RecordFileHandle& file) { return file.handle != -1; }

// Fails with nameTaken set when something already exists at path.
bool CreateRecordFile(const std::string& path, RecordFileHandle& file, bool& nameTaken, std::string& reason);
// Opens an existing file to read it and rewrite it in place; read-only
// (writable false) when the user may not write it. Fails with leaveAlone set
// when it is not a regular file (a symbolic link included) or a take still
// writes it.
bool OpenRecordFileToRepair(const std::string& path, RecordFileHandle& file, bool& writable, bool& leaveAlone,
                            std::string& reason);
bool RecordFileSize(RecordFileHandle& file, uint64_t& size, std::string& reason);
// Reads exactly bytes from offset; a shorter file is a failure.
bool ReadRecordFileAt(RecordFileHandle& file, uint64_t offset, void* data, size_t bytes, std::string& reason);
// Writes at the end; written counts the bytes that reached the file, also on failure.
bool AppendRecordFile(RecordFileHandle& file, const void* data, size_t bytes, size_t& written, std::string& reason);
// Writes at a fixed offset without moving the append position.
bool WriteRecordFileAt(RecordFileHandle& file, uint64_t offset, const void* data, size_t bytes, std::string& reason);
bool TruncateRecordFile(RecordFileHandle& file, uint64_t size, std::string& reason);
// Waits until what was written is on the disk itself.
bool SyncRecordFile(RecordFileHandle& file, std::string& reason);
// Closes in every case; false when the system reported an error doing so.
bool CloseRecordFile(RecordFileHandle& file, std::string& reason);
// Removes a file this program created and gave up on.
void RemoveRecordFile(const std::string& path);
