#pragma once
// The Studio Mode selector above the columns, and the beat column's upper
// part: the beat and master controls, Tone Control and the device panels.
// Device changes are posted for the next frame, never made while drawing.

#include "app/shell_state.h"

void DrawStudioModeSelector();
// Inside the column's scrolling child.
void DrawBeatColumnTop(ShellState& shell);
