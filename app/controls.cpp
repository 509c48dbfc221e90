#include "app/controls.h"

#include "app/presets.h"
#include "engine/body_plus.h"
#include "engine/engine_params.h"
#include "engine/opto_leveler.h"

void PushConfigToEngine(const AppConfig& config, ShellState& shell) {
    shell.sliders = ConfigParamValues(config);
    ApplyParams(shell.sliders);
    shell.builtinPreset = config.vocalPreset;
    shell.userPreset = -1;
}

// Before the stream runs, so restarting the two stateful stages is safe.
void ApplyConfigToEngine(const AppConfig& config, ShellState& shell) {
    InitBodyPlus(engine.bodyPlus);
    InitOptoLeveler(engine.opto);
    PushConfigToEngine(config, shell);
}

void SyncConfigFromEngine(ShellState& shell) {
    ReadEngineValues(shell.sliders);
    for (const ParamSpec& s : AllParams()) {
        if (s.flags & kInUserPreset) SetConfigParam(appConfig, s.id, shell.sliders[s.id]);
    }
}

float MoveControl(ShellState& shell, Param p, float value) {
    if (Spec(p).flags & kMarksCustom) MarkPresetCustom(shell);
    const float v = ApplyParam(p, value);
    shell.sliders[p] = v;
    SetConfigParam(appConfig, p, v);
    SaveConfig();
    return v;
}

void KeepPanelOpen(bool AppConfig::*flag, bool open) {
    if (appConfig.*flag == open) return;
    appConfig.*flag = open;
    SaveConfig();
}
