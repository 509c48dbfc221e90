#pragma once
// Files the program keeps are replaced whole: the new text goes to a
// temporary file beside the old one, is flushed to disk, and is renamed over
// it, so a crash, power loss or full disk never leaves a half-written file.

#include <string>

// Writes `text` to `path` atomically. On any failure the previous file is
// left intact, the temporary file is removed, and false is returned.
bool WriteFileAtomically(const std::string& path, const std::string& text);

// Reads a whole file of at most `maxBytes`; false when it cannot be opened
// or read (absent, a folder, unreadable). Longer files are cut at maxBytes.
bool ReadTextFile(const std::string& path, std::string& text, size_t maxBytes);
