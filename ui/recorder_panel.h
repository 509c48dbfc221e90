#pragma once
// The recorder panel that closes the beat column: what to record, the take's
// name and folder, start and stop, and where the file went.

#include "app/shell_state.h"

void DrawRecorderPanel(ShellState& shell);
