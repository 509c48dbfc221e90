#include "persistence/vocal_presets.h"

#include <atomic>

#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "persistence/user_presets.h"

namespace {
// vol, balance, body, smooth, warmth, body+, opto, air dB, reverb, echo, harmony, glue; style; effects.
const BuiltinPreset kBuiltin[kBuiltinPresetCount] = {
    {"TỰ NHIÊN", {100, 45, 40, 42, 30, 28, 18, 2.0f, 10, 2, 16, 42}, 2, true},
    {"BOLERO NGỌT", {96, 54, 64, 60, 68, 58, 48, 3.0f, 16, 3, 22, 48}, 1, true},
    {"BOLERO DÀY ẤM", {92, 52, 72, 58, 76, 68, 50, 2.4f, 18, 3, 22, 50}, 1, true},
    {"POP SÁNG", {102, 55, 45, 62, 36, 34, 30, 5.5f, 12, 2, 16, 50}, 2, true},
    {"POP MƯỢT", {101, 58, 50, 70, 42, 40, 52, 4.5f, 14, 2, 18, 50}, 2, true},
    {"LIVESTREAM RÕ", {104, 66, 50, 64, 38, 36, 42, 5.0f, 8, 1, 12, 56}, 2, true},
    {"PHÒNG THU", {95, 54, 58, 64, 54, 48, 50, 4.0f, 14, 2, 18, 52}, 2, true},
    {"NAM DÀY ẤM", {100, 50, 68, 54, 70, 66, 52, 2.2f, 16, 3, 20, 50}, 1, true},
    {"GIỌNG NAM SÁNG", {93, 50, 60, 58, 52, 48, 40, 4.8f, 13, 2, 18, 50}, 2, true},
    {"GIỌNG NỮ SÁNG", {101, 56, 42, 74, 36, 28, 38, 6.2f, 14, 2, 16, 48}, 2, true},
    {"GIỌNG NỮ MỀM", {101, 56, 46, 78, 52, 34, 52, 4.2f, 16, 2, 18, 48}, 2, true},
    {"BALLAD MƯỢT", {95, 54, 56, 70, 58, 48, 54, 3.8f, 18, 2, 20, 50}, 2, true},
    {"ACOUSTIC TỰ NHIÊN", {100, 48, 42, 48, 34, 24, 22, 2.6f, 8, 1, 10, 44}, 2, true},
};

const char* const kTuneStyleLabels[] = {"Bolero Ngot Ngao", "Studio Natural", "Hard-Tune Robot / Vinahouse"};

bool ValidTuneMode(int32_t mode) { return mode >= 1 && mode <= 3; }

void ClearActiveUserPreset(WorkingValues& values) {
    values.userPreset = -1;
    appConfig.activeUserPreset.clear();
}

void SyncAndSave(const WorkingValues& values) {
    SyncConfigFromEngine(values);
    SaveConfig();
}
}  // namespace

const BuiltinPreset* FindBuiltinPreset(int32_t index) {
    return index >= 0 && index < kBuiltinPresetCount ? &kBuiltin[index] : nullptr;
}

const char* BuiltinPresetName(int32_t index) {
    if (index == kCustomPreset) return "CUSTOM";
    const BuiltinPreset* preset = FindBuiltinPreset(index);
    return preset != nullptr ? preset->name : "";
}

const char* TuneStyleLabel(int32_t mode) { return ValidTuneMode(mode) ? kTuneStyleLabels[mode - 1] : ""; }

bool ApplyBuiltinPreset(int32_t index, WorkingValues& values) {
    const BuiltinPreset* preset = FindBuiltinPreset(index);
    if (preset == nullptr) return false;
    ApplyVocalSound(preset->sound, values);
    SetTuneMode(preset->tuneMode);
    engine.fxEnabled = preset->fxEnabled;
    ClearActiveUserPreset(values);
    SelectBuiltinPreset(index, values);
    SyncAndSave(values);
    return true;
}

bool ApplyUserPreset(int32_t index, WorkingValues& values) {
    if (index < 0 || static_cast<size_t>(index) >= userPresets.size()) return false;
    const UserPreset& preset = userPresets[static_cast<size_t>(index)];
    ApplyVocalSound(PresetVocalSound(preset), values);
    SetTuneMode(preset.tuneMode);
    if (IsTuneEnabled() != preset.tuneEnabled) ToggleTune();
    engine.fxEnabled = preset.fxEnabled;
    engine.harmonyEnabled = preset.harmonyEnabled;
    SelectBuiltinPreset(kCustomPreset, values);
    values.userPreset = index;
    appConfig.activeUserPreset = preset.name;
    SyncAndSave(values);
    return true;
}

void MarkPresetCustom(WorkingValues& values) {
    ClearActiveUserPreset(values);
    SelectBuiltinPreset(kCustomPreset, values);
}

bool ChooseTuneStyle(int32_t mode, WorkingValues& values) {
    if (!ValidTuneMode(mode)) return false;
    MarkPresetCustom(values);
    SetTuneMode(mode);
    appConfig.tuneMode = mode;
    SaveConfig();
    return true;
}
