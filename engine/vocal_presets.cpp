#include "engine/vocal_presets.h"

namespace {
struct BuiltinPreset {
    const char* name;
    float values[14];
};

// The parameters marked kInBuiltinPreset, in table order: vol, balance, body, smooth,
// warmth, body+, opto, air dB, reverb, echo, harmony, glue, effects, style.
const BuiltinPreset kBuiltin[kBuiltinPresetCount] = {
    {"TỰ NHIÊN", {100, 45, 40, 42, 30, 28, 18, 2.0f, 10, 2, 16, 42, 1, 2}},
    {"BOLERO NGỌT", {96, 54, 64, 60, 68, 58, 48, 3.0f, 16, 3, 22, 48, 1, 1}},
    {"BOLERO DÀY ẤM", {92, 52, 72, 58, 76, 68, 50, 2.4f, 18, 3, 22, 50, 1, 1}},
    {"POP SÁNG", {102, 55, 45, 62, 36, 34, 30, 5.5f, 12, 2, 16, 50, 1, 2}},
    {"POP MƯỢT", {101, 58, 50, 70, 42, 40, 52, 4.5f, 14, 2, 18, 50, 1, 2}},
    {"LIVESTREAM RÕ", {104, 66, 50, 64, 38, 36, 42, 5.0f, 8, 1, 12, 56, 1, 2}},
    {"PHÒNG THU", {95, 54, 58, 64, 54, 48, 50, 4.0f, 14, 2, 18, 52, 1, 2}},
    {"NAM DÀY ẤM", {100, 50, 68, 54, 70, 66, 52, 2.2f, 16, 3, 20, 50, 1, 1}},
    {"GIỌNG NAM SÁNG", {93, 50, 60, 58, 52, 48, 40, 4.8f, 13, 2, 18, 50, 1, 2}},
    {"GIỌNG NỮ SÁNG", {101, 56, 42, 74, 36, 28, 38, 6.2f, 14, 2, 16, 48, 1, 2}},
    {"GIỌNG NỮ MỀM", {101, 56, 46, 78, 52, 34, 52, 4.2f, 16, 2, 18, 48, 1, 2}},
    {"BALLAD MƯỢT", {95, 54, 56, 70, 58, 48, 54, 3.8f, 18, 2, 20, 50, 1, 2}},
    {"ACOUSTIC TỰ NHIÊN", {100, 48, 42, 48, 34, 24, 22, 2.6f, 8, 1, 10, 44, 1, 2}},
};

const char* const kTuneStyleLabels[] = {"Bolero Ngot Ngao", "Studio Natural", "Hard-Tune Robot / Vinahouse"};
}  // namespace

bool BuiltinPresetValues(int32_t index, ParamValues& values) {
    if (index < 0 || index >= kBuiltinPresetCount) return false;
    values = DefaultParamValues();
    const float* next = kBuiltin[index].values;
    for (const ParamSpec& s : AllParams()) {
        if (s.flags & kInBuiltinPreset) values[s.id] = *next++;
    }
    return true;
}

const char* BuiltinPresetName(int32_t index) {
    if (index == kCustomPreset) return "CUSTOM";
    return index >= 0 && index < kBuiltinPresetCount ? kBuiltin[index].name : "";
}

const char* TuneStyleLabel(int32_t mode) { return mode >= 1 && mode <= 3 ? kTuneStyleLabels[mode - 1] : ""; }
