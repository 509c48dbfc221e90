#pragma once
// The beat column's lower panels: the notice of a repaired config, settings
// and recovery (the wizard again, the reset, the update check) and the
// diagnostics board with the report for support.

#include "app/shell_state.h"

void DrawSettingsPanels(ShellState& shell);
