#pragma once
// The desktop's folder chooser. Returns the chosen folder (UTF-8), or an
// empty string when the user cancels or no chooser is available.

#include <string>

std::string PickFolder(void* ownerWindow, const std::string& title);
