#pragma once
// "VOCAL PRESET": thirteen built-in sounds (0..12), "CUSTOM" (13) for
// whatever the sliders say and for the singer's own presets, and the three
// auto-tune styles every preset carries.

#include <cstdint>

#include "engine/parameters.h"

inline constexpr int32_t kBuiltinPresetCount = 13;
inline constexpr int32_t kCustomPreset = 13;

// Index 0..12: the values of every parameter a built-in preset sets
// (kInBuiltinPreset), the others at their defaults; false for any other index.
bool BuiltinPresetValues(int32_t index, ParamValues& values);
// The name shown for index 0..13 ("CUSTOM" at 13); "" outside.
const char* BuiltinPresetName(int32_t index);
// "Bolero Ngot Ngao", "Studio Natural", "Hard-Tune Robot / Vinahouse"; "" outside 1..3.
const char* TuneStyleLabel(int32_t mode);
