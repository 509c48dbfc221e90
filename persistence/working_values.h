#pragma once
// The values the interface holds beside the engine: one mirror per slider in
// the config's units (percent, dB for air and master output), the preset
// selection, the beat tone and the Setup Wizard's place. The preset and reset
// operations read and write them together with the engine and the config.

#include <cstdint>

#include "persistence/app_config.h"

struct SetupWizardView {
    int32_t step = 0;
    bool firstCheckDone = false;
    bool secondCheckDone = false;
    bool visible = false;
};

struct WorkingValues {
    float balance = 55.0f;
    float body = 55.0f;
    float smooth = 50.0f;
    float warmth = 45.0f;
    float bodyPlus = 38.0f;
    float opto2a = 0.0f;
    float air = 2.8f;
    float reverb = 18.0f;
    float echo = 12.0f;
    float beatVolume = 32.0f;
    float masterGlue = 60.0f;
    float masterOutputDb = 4.0f;
    int32_t builtinPreset = 6;  // 0..12, or 13 for CUSTOM
    int32_t userPreset = -1;    // index into the user presets, -1 for none
    float toneSemitones = 0.0f;
    SetupWizardView wizard;
};

// The mirrors and the preset selection as the config holds them; the user
// preset is found later, once the presets are loaded.
WorkingValues WorkingValuesFromConfig(const AppConfig& config);
// Every value a control mirrors, from the config into the mirrors and the
// engine: levels, the slider setters, master output and the four switches.
void PushConfigToEngine(const AppConfig& config, WorkingValues& values);
// The start-up hand-over, which also starts the Body+ and opto stages afresh.
void ApplyConfigToEngine(const AppConfig& config, WorkingValues& values);

// The vocal sound a preset covers: the engine's vocal and harmony levels and
// the ten slider mirrors, each pushed through its setter.
struct VocalSound {
    float vocalVolume, balance, body, smooth, warmth, bodyPlus, opto2a, air, reverb, echo, harmonyVolume, masterGlue;
};
void ApplyVocalSound(const VocalSound& sound, WorkingValues& values);
// The same quantities as they stand now.
VocalSound CurrentVocalSound(const WorkingValues& values);

// The built-in preset selected (13 for CUSTOM), in the mirrors and the config.
void SelectBuiltinPreset(int32_t index, WorkingValues& values);

// The current sound and switches into the config: the levels, the ten
// mirrors, tune_mode, fx_enabled, tune_enabled and harmony_enabled.
void SyncConfigFromEngine(const WorkingValues& values);
