#include "persistence/working_values.h"

#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"

WorkingValues WorkingValuesFromConfig(const AppConfig& c) {
    WorkingValues v;
    v.balance = c.vocalBalance;
    v.body = c.vocalBody;
    v.smooth = c.vocalSmooth;
    v.warmth = c.vocalWarmth;
    v.bodyPlus = c.vocalBodyPlus;
    v.opto2a = c.vocalOpto2a;
    v.air = c.vocalAir;
    v.reverb = c.reverb;
    v.echo = c.echo;
    v.beatVolume = c.beatVolume;
    v.masterGlue = c.masterGlue;
    v.masterOutputDb = c.masterOutputDb;
    v.builtinPreset = c.vocalPreset;
    return v;
}

void ApplyVocalSound(const VocalSound& s, WorkingValues& v) {
    engine.vocalVolume = s.vocalVolume;
    engine.harmonyVolume = s.harmonyVolume;
    v.balance = s.balance;
    v.body = s.body;
    v.smooth = s.smooth;
    v.warmth = s.warmth;
    v.bodyPlus = s.bodyPlus;
    v.opto2a = s.opto2a;
    v.air = s.air;
    v.reverb = s.reverb;
    v.echo = s.echo;
    v.masterGlue = s.masterGlue;
    SetVocalBalance(s.balance / 100.0f);
    SetVocalBody(s.body / 100.0f);
    SetVocalBodyPlus(s.bodyPlus / 100.0f);
    SetVocalOpto(s.opto2a / 100.0f);
    SetVocalSmooth(s.smooth / 100.0f);
    SetVocalWarmth(s.warmth / 100.0f);
    SetVocalAir(EngineParams::sampleRate, s.air);
    SetReverbLevel(s.reverb / 100.0f);
    SetEchoLevel(s.echo / 100.0f);
    SetMasterGlue(s.masterGlue / 100.0f);
}

VocalSound CurrentVocalSound(const WorkingValues& v) {
    return {engine.vocalVolume, v.balance, v.body,   v.smooth, v.warmth,           v.bodyPlus,
            v.opto2a,           v.air,     v.reverb, v.echo,   engine.harmonyVolume, v.masterGlue};
}

void SelectBuiltinPreset(int32_t index, WorkingValues& values) {
    values.builtinPreset = index;
    appConfig.vocalPreset = index;
}

void SyncConfigFromEngine(const WorkingValues& v) {
    AppConfig& c = appConfig;
    c.vocalVolume = engine.vocalVolume;
    c.vocalBalance = v.balance;
    c.vocalBody = v.body;
    c.vocalSmooth = v.smooth;
    c.vocalWarmth = v.warmth;
    c.vocalBodyPlus = v.bodyPlus;
    c.vocalOpto2a = v.opto2a;
    c.vocalAir = v.air;
    c.reverb = v.reverb;
    c.echo = v.echo;
    c.harmonyVolume = engine.harmonyVolume;
    c.masterGlue = v.masterGlue;
    c.tuneMode = engine.tuneMode;
    c.fxEnabled = engine.fxEnabled;
    c.tuneEnabled = engine.tuneEnabled;
    c.harmonyEnabled = engine.harmonyEnabled;
}
