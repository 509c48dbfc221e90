#pragma once
// The folder takes are recorded into.

#include <string>

// Creates the folder (and its parents) when it does not exist; "." is taken
// as it is. False, with the reason, when it is not a usable folder.
bool EnsureRecordFolder(const std::string& folder, std::string& reason);

// The folder chooser behind "Chọn...": the chosen folder, or "" on cancel.
std::string PickRecordFolder(void* ownerWindow);
