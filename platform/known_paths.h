#pragma once
// Where the system keeps the user's files and this program. Each function
// returns an empty string when the system cannot tell.

#include <string>

// The per-user local application-data folder.
std::string LocalAppDataFolder();
// The user's Documents folder (UTF-8).
std::string DocumentsFolder();
// The temporary folder, or the system's fixed one when none is set: never empty.
std::string TempFolder();
// The full path of the running program.
std::string ExecutablePath();
// An environment variable's value in UTF-8, "" when it is not set.
std::string EnvironmentText(const std::string& name);
