#include "engine/body_plus.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/opto_leveler.h"
#include "persistence/working_values.h"

namespace {
VocalSound VocalSoundFromConfig(const AppConfig& c) {
    return {c.vocalVolume, c.vocalBalance, c.vocalBody, c.vocalSmooth,   c.vocalWarmth, c.vocalBodyPlus,
            c.vocalOpto2a, c.vocalAir,     c.reverb,    c.echo,          c.harmonyVolume, c.masterGlue};
}
}  // namespace

void PushConfigToEngine(const AppConfig& config, WorkingValues& values) {
    values = WorkingValuesFromConfig(config);
    engine.beatVolume = config.beatVolume / 100.0f;
    ApplyVocalSound(VocalSoundFromConfig(config), values);
    SetMasterOutputDb(config.masterOutputDb);
    engine.harmonyEnabled = config.harmonyEnabled;
    engine.fxEnabled = config.fxEnabled;
    SetTuneMode(config.tuneMode);
    if (IsTuneEnabled() != config.tuneEnabled) ToggleTune();
}

// Before the stream runs, so restarting the two stateful stages is safe.
void ApplyConfigToEngine(const AppConfig& config, WorkingValues& values) {
    InitBodyPlus(engine.bodyPlus);
    InitOptoLeveler(engine.opto);
    PushConfigToEngine(config, values);
}
