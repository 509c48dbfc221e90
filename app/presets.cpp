#include "app/presets.h"

#include <string>

#include "app/controls.h"
#include "engine/vocal_presets.h"
#include "persistence/app_config.h"
#include "persistence/user_presets.h"

namespace {
// What the selection falls back to when the active preset goes away.
constexpr int32_t kFallbackBuiltinPreset = 7;

bool ValidUserPreset(int32_t index) { return index >= 0 && static_cast<size_t>(index) < userPresets.size(); }

// The parameters `flag` marks, from the preset into the engine and the mirrors.
void ApplySound(const ParamValues& preset, uint8_t flag, ShellState& shell) {
    for (const ParamSpec& s : AllParams()) {
        if (s.flags & flag) shell.sliders[s.id] = ApplyParam(s.id, preset[s.id]);
    }
}

void SelectBuiltinPreset(int32_t index, ShellState& shell) {
    shell.builtinPreset = index;
    appConfig.vocalPreset = index;
}

void ClearActiveUserPreset(ShellState& shell) {
    shell.userPreset = -1;
    appConfig.activeUserPreset.clear();
}

void SyncAndSave(ShellState& shell) {
    SyncConfigFromEngine(shell);
    SaveConfig();
}

// The current sound and switches, as "LƯU" keeps them.
UserPreset CurrentPreset(std::string name, ShellState& shell) {
    ReadEngineValues(shell.sliders);
    UserPreset preset{.name = std::move(name)};
    for (const ParamSpec& s : AllParams()) {
        if (s.flags & kInUserPreset) preset.values[s.id] = shell.sliders[s.id];
    }
    return preset;
}

// No user preset active, the selection a built-in one; the sound stays.
void FallBackToBuiltin(ShellState& shell) {
    ClearActiveUserPreset(shell);
    SelectBuiltinPreset(kFallbackBuiltinPreset, shell);
    SaveConfig();
}
}  // namespace

bool ApplyBuiltinPreset(int32_t index, ShellState& shell) {
    ParamValues preset;
    if (!BuiltinPresetValues(index, preset)) return false;
    ApplySound(preset, kInBuiltinPreset, shell);
    ClearActiveUserPreset(shell);
    SelectBuiltinPreset(index, shell);
    SyncAndSave(shell);
    return true;
}

bool ApplyUserPreset(int32_t index, ShellState& shell) {
    if (!ValidUserPreset(index)) return false;
    const UserPreset& preset = userPresets[static_cast<size_t>(index)];
    ApplySound(preset.values, kInUserPreset, shell);
    SelectBuiltinPreset(kCustomPreset, shell);
    shell.userPreset = index;
    appConfig.activeUserPreset = preset.name;
    SyncAndSave(shell);
    return true;
}

void MarkPresetCustom(ShellState& shell) {
    ClearActiveUserPreset(shell);
    SelectBuiltinPreset(kCustomPreset, shell);
}

bool ChooseTuneStyle(int32_t mode, ShellState& shell) {
    if (mode < 1 || mode > 3) return false;
    MoveControl(shell, Param::TuneMode, static_cast<float>(mode));
    return true;
}

int32_t SaveCurrentAsUserPreset(std::string_view typedName, ShellState& shell) {
    std::string name = CleanPresetName(typedName);
    if (name.empty()) return -1;
    int32_t index = FindUserPreset(name);
    if (index < 0) {
        index = static_cast<int32_t>(userPresets.size());
        userPresets.emplace_back();
    }
    userPresets[static_cast<size_t>(index)] = CurrentPreset(name, shell);
    SaveUserPresets();
    shell.userPreset = index;
    SelectBuiltinPreset(kCustomPreset, shell);
    appConfig.activeUserPreset = std::move(name);
    SyncAndSave(shell);
    return index;
}

bool RenameActiveUserPreset(std::string_view typedName, ShellState& shell) {
    if (!ValidUserPreset(shell.userPreset)) return false;
    const std::string name = CleanPresetName(typedName);
    const int32_t holder = FindUserPreset(name);
    if (name.empty() || (holder >= 0 && holder != shell.userPreset)) return false;
    userPresets[static_cast<size_t>(shell.userPreset)].name = name;
    appConfig.activeUserPreset = name;
    SaveUserPresets();
    SaveConfig();
    return true;
}

bool DeleteActiveUserPreset(ShellState& shell) {
    if (!ValidUserPreset(shell.userPreset)) return false;
    userPresets.erase(userPresets.begin() + shell.userPreset);
    SaveUserPresets();
    FallBackToBuiltin(shell);
    return true;
}

void ResolveActiveUserPreset(ShellState& shell) {
    const std::string& name = appConfig.activeUserPreset;
    const int32_t index = name.empty() ? -1 : FindUserPreset(name);
    if (!name.empty() && index < 0) {
        FallBackToBuiltin(shell);
        return;
    }
    shell.userPreset = index;
}

std::string PresetDisplayName(const ShellState& shell) {
    if (shell.userPreset >= 0 && static_cast<size_t>(shell.userPreset) < userPresets.size()) {
        return "★ " + userPresets[static_cast<size_t>(shell.userPreset)].name;
    }
    return BuiltinPresetName(shell.builtinPreset);
}
