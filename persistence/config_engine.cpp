#include "engine/body_plus.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/opto_leveler.h"
#include "persistence/app_config.h"

// In the order of the start-up sequence; the loader has already clamped
// every value, so the three written directly are in range too.
void ApplyConfigToEngine(const AppConfig& config) {
    engine.vocalVolume = config.vocalVolume;
    engine.harmonyVolume = config.harmonyVolume;
    engine.beatVolume = config.beatVolume / 100.0f;
    SetVocalBalance(config.vocalBalance / 100.0f);
    SetVocalBody(config.vocalBody / 100.0f);
    SetVocalSmooth(config.vocalSmooth / 100.0f);
    SetVocalWarmth(config.vocalWarmth / 100.0f);
    InitBodyPlus(engine.bodyPlus);
    SetVocalBodyPlus(config.vocalBodyPlus / 100.0f);
    InitOptoLeveler(engine.opto);
    SetVocalOpto(config.vocalOpto2a / 100.0f);
    SetVocalAir(EngineParams::sampleRate, config.vocalAir);
    SetReverbLevel(config.reverb / 100.0f);
    SetEchoLevel(config.echo / 100.0f);
    SetMasterGlue(config.masterGlue / 100.0f);
    SetMasterOutputDb(config.masterOutputDb);
    engine.harmonyEnabled = config.harmonyEnabled;
    engine.fxEnabled = config.fxEnabled;
    SetTuneMode(config.tuneMode);
    if (IsTuneEnabled() != config.tuneEnabled) ToggleTune();
}
