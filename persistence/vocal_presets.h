#pragma once
// "VOCAL PRESET": thirteen built-in sounds (0..12), "CUSTOM" (13) for
// whatever the sliders say and for the singer's own presets, and the three
// auto-tune styles every preset carries. Each operation sets the mirrors and
// the engine together, then refreshes the config and saves it.

#include <cstdint>

#include "persistence/working_values.h"

inline constexpr int32_t kBuiltinPresetCount = 13;
inline constexpr int32_t kCustomPreset = 13;

struct BuiltinPreset {
    const char* name;
    VocalSound sound;
    int32_t tuneMode;
    bool fxEnabled;
};

// Index 0..12; nullptr for any other.
const BuiltinPreset* FindBuiltinPreset(int32_t index);
// The name shown for index 0..13 ("CUSTOM" at 13); "" outside.
const char* BuiltinPresetName(int32_t index);
// "Bolero Ngot Ngao", "Studio Natural", "Hard-Tune Robot / Vinahouse"; "" outside 1..3.
const char* TuneStyleLabel(int32_t mode);

// Leaves auto-tune on or off, harmony, beat volume, master output and the tone
// as they are. An index outside 0..12 does nothing; false then.
bool ApplyBuiltinPreset(int32_t index, WorkingValues& values);
// Index into the user presets; also sets the auto-tune, effects and harmony
// switches the preset holds. Out of range does nothing; false then.
bool ApplyUserPreset(int32_t index, WorkingValues& values);
// A hand adjustment: no user preset active, the selection "CUSTOM". Does not save.
void MarkPresetCustom(WorkingValues& values);
// A style chosen by hand: "CUSTOM", the style, tune_mode kept and saved.
// A mode outside 1..3 does nothing; false then.
bool ChooseTuneStyle(int32_t mode, WorkingValues& values);
