#pragma once
// Files named by UTF-8 paths. The standard library reads a narrow path in
// the system's code page, which is not UTF-8 everywhere, so every path goes
// through these before it reaches a file call.

#include <cstdio>
#include <filesystem>
#include <string>

// A backslash on Windows, "/" elsewhere: paths shown to the user read as the system writes them.
inline constexpr char kPathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// The path the standard library's file calls take; malformed UTF-8 is
// replaced character by character, never thrown at.
std::filesystem::path Utf8Path(const std::string& path);
// The path's text in UTF-8.
std::string Utf8PathText(const std::filesystem::path& path);
// std::fopen by a UTF-8 path; binary on every system.
std::FILE* OpenFileStream(const std::string& path, const char* mode);
// A descriptor to read the file, for libraries that take one; -1 on failure.
int OpenFileToRead(const std::string& path);
// A new file of a name no one else holds, beside `stem` ("<stem>.<random><suffix>"),
// open to read and write; -1 with the reason on failure. Its permissions are
// those of any new file.
int CreateUniqueFile(const std::string& stem, const std::string& suffix, std::string& path, std::string& reason);
// Pushes what was written through the descriptor to the disk itself.
bool SyncDescriptor(int descriptor, std::string& reason);
void CloseDescriptor(int descriptor);
// A second name for an existing file; `taken` when the new name already exists.
bool LinkFile(const std::string& existing, const std::string& link, bool& taken);
