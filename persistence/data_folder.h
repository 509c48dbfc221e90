#pragma once
// The per-user data folder and the paths of the files kept in it, computed
// once per process. Nothing here shows a message: failures fall back
// silently and the callers see absent files.

#include <string>

// "<base>/Brivanta/Sonavela", created on the first call.
const std::string& GetDataFolder();
// Data folder + "/" + name, copying a legacy file of that name from the
// working directory or the executable's folder when none is there yet.
std::string DataFilePath(const char* name);
// "<Documents>/Sonavela Recordings" (UTF-8); not created here.
std::string GetDefaultRecordingsFolder();
// Keeps the config file as "sonavela_config.txt.<kind>.<date>.bak" (BackUpFile);
// the backup's path, or empty when there was nothing to keep or it failed.
std::string BackupConfigFile(const char* kind);

const std::string& ConfigPath();       // "sonavela_config.txt"
const std::string& UserPresetsPath();  // "sonavela_user_presets.txt"
const std::string& SongLibraryPath();  // "recent_songs.txt"
