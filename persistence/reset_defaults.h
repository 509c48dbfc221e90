#pragma once
// "KHOI PHUC MAC DINH": every config key back to its default, the engine and
// the interface's values with it, the old file kept as ".before_reset.bak"
// and the Setup Wizard opened at its first step. User presets, the song
// library and the recordings stay as they are; running devices keep running
// and take their default choices at their next open. The caller then
// rebuilds the output list (RefreshOutputEndpoints), which the device layer
// above this one owns.

#include "persistence/working_values.h"

// False when the reset config could not be written (it holds in memory).
bool ResetToDefaults(WorkingValues& values);
