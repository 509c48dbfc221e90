#pragma once
// The desktop's folder chooser, run as a child process that the frame polls,
// so that the window and its meters go on while the user browses.

#include <string>

enum class FolderPick { Idle, Running, Chosen, Cancelled };

// Starts the chooser, showing `startFolder` when it is not empty. False, with
// the reason, when none can be started (none installed, or one already open).
bool StartFolderPick(const std::string& title, const std::string& startFolder, std::string& reason);
// Never blocks. Chosen puts the folder (UTF-8) in `folder`; Chosen and
// Cancelled are reported once, then Idle.
FolderPick PollFolderPick(std::string& folder);
// Ends a chooser still open (at exit).
void CancelFolderPick();
