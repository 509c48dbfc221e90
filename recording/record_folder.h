#pragma once
// The folder takes are recorded into.

#include <string>

// Creates the folder (and its parents) when it does not exist; "." is taken
// as it is. False, with the reason, when it is not a usable folder.
bool EnsureRecordFolder(const std::string& folder, std::string& reason);

// Opens the folder chooser behind "Chọn..." at the current folder; the frame
// then takes the choice with PollFolderPick (platform/folder_picker.h).
bool StartRecordFolderPick(const std::string& currentFolder, std::string& reason);
