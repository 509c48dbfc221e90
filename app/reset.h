#pragma once
// "KHOI PHUC MAC DINH": every config key back to its default, the engine and
// the window's values with it, the old file kept as ".before_reset.bak", the
// output list rebuilt and the Setup Wizard opened at its first step. User
// presets, the song library and the recordings stay as they are; running
// devices keep running and take their default choices at their next open.

#include "app/shell_state.h"

// False when the reset config could not be written (it holds in memory).
bool ResetToDefaults(ShellState& shell);
