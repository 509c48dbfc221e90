#pragma once
// Pushing written data to the disk itself, so a rename that follows cannot
// reach the disk before the data it names.

#include <cstdio>
#include <string>

// Flushes the stream and the system's cache of the file; false on failure.
bool SyncFileToDisk(std::FILE* f);
// Makes a rename inside the folder durable; failures are ignored.
void SyncFolderToDisk(const std::string& folder);
