#pragma once
// The vocal presets as the singer uses them: the built-in sounds, the
// personal ones ("PRESET CỦA TÔI") and the rule that a hand adjustment turns
// the selection into "CUSTOM". Each operation sets the mirrors and the
// engine together, then refreshes the config and saves what it changed.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/shell_state.h"

// Leaves auto-tune on or off, harmony, beat volume, master output and the
// tone as they are. An index outside 0..12 does nothing; false then.
bool ApplyBuiltinPreset(int32_t index, ShellState& shell);
// Index into the user presets; also sets the auto-tune, effects and harmony
// switches the preset holds. Out of range does nothing; false then.
bool ApplyUserPreset(int32_t index, ShellState& shell);
// A hand adjustment: no user preset active, the selection "CUSTOM". Does not save.
void MarkPresetCustom(ShellState& shell);
// A style chosen by hand: "CUSTOM", the style, tune_mode kept and saved.
// A mode outside 1..3 does nothing; false then.
bool ChooseTuneStyle(int32_t mode, ShellState& shell);

// "LƯU": the current sound under the cleaned name, overwriting a preset of
// that name in place or appended; it becomes the active preset and the
// config is saved. -1 (and nothing done) for a name that cleans to nothing.
int32_t SaveCurrentAsUserPreset(std::string_view typedName, ShellState& shell);
// "ĐỔI TÊN" on the active preset; false (nothing changed) for an empty name,
// one taken by another preset, or no active preset.
bool RenameActiveUserPreset(std::string_view typedName, ShellState& shell);
// "XÓA": removes the active preset; the sound stays, the selection becomes
// built-in 7. False when no user preset is active.
bool DeleteActiveUserPreset(ShellState& shell);
// Start-up, after the load: the active preset's index, or a stale
// active_user_preset cleared with vocal_preset 7 and the config saved.
void ResolveActiveUserPreset(ShellState& shell);

// The selection as the preset combo and the top bar show it: "★ " and the
// personal preset's name, else the built-in name ("CUSTOM" at 13).
std::string PresetDisplayName(const ShellState& shell);
