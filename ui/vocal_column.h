#pragma once
// The first Studio column: the vocal preset and the singer's own presets,
// auto-tune, the vocal chain's sliders, the effects and harmony.

#include <string>

#include "app/shell_state.h"

// Inside the column's scrolling child.
void DrawVocalColumn(ShellState& shell);
// The note being sung, from a fractional MIDI note: "A4 +12c"; "--" when
// none is heard (a negative note).
std::string SungNoteText(float note);
