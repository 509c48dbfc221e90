#pragma once
// Files the program keeps are replaced whole: the new text goes to a
// temporary file beside the old one, is flushed to disk, and is renamed over
// it, so a crash, power loss or full disk never leaves a half-written file.

#include <string>

// Writes `text` to `path` atomically. A symbolic link is written through:
// the file it leads to is replaced and the link stays. On any failure the
// previous file is left intact, the temporary file is removed, and false is
// returned.
bool WriteFileAtomically(const std::string& path, const std::string& text);

// The file a path leads to once every symbolic link is followed (a missing
// last target included, since a write creates it); false for a loop.
bool ResolveLinks(const std::string& path, std::string& resolved);

enum class FileRead {
    Absent,      // nothing there, or a link to nothing
    Whole,       // `text` holds all of it
    Partial,     // longer than the bound: `text` holds the whole lines before it
    Unreadable,  // there, but not a file that could be read (a folder, no permission, an I/O error)
};

// Reads a file of at most `maxBytes`. `reason` gets the system's words when
// the file is unreadable.
FileRead ReadTextFile(const std::string& path, std::string& text, size_t maxBytes, std::string* reason = nullptr);
