#include "engine/engine_setters.h"

#include <cmath>

#include "engine/engine_params.h"
#include "engine/param_clamp.h"

namespace {
float Clamp01(float v) { return ClampParam(v, 0.0f, 1.0f); }
}  // namespace

void SetVocalBalance(float amount) {
    const float a = Clamp01(amount);
    engine.balanceAmount = a;
    engine.balanceThresholdDb = -6.0f - 24.0f * a;
    engine.balanceRatio = 2.0f + 3.5f * a;
    engine.balanceMakeup = std::pow(10.0f, 7.5f * a / 20.0f);
}

void SetVocalBody(float amount) {
    const float a = Clamp01(amount);
    engine.bodyAmount = a;
    DesignBodyEq(engine.bodyEq, a);
}

void SetVocalSmooth(float amount) { engine.smoothAmount = Clamp01(amount); }
void SetVocalWarmth(float amount) { engine.warmthAmount = Clamp01(amount); }
void SetVocalBodyPlus(float amount) { engine.bodyPlusAmount = Clamp01(amount); }
void SetVocalOpto(float amount) { engine.optoAmount = Clamp01(amount); }

void SetVocalAir(float sampleRate, float db) {
    const float d = ClampParam(db, 0.0f, 10.0f);
    engine.airDb = d;
    DesignAirEq(engine.air, sampleRate, d);
}

void SetReverbLevel(float amount) { engine.reverbLevel = Clamp01(amount); }
void SetEchoLevel(float amount) { engine.echoLevel = Clamp01(amount); }

int32_t SetTuneMode(int32_t mode) {
    const int32_t previous = engine.tuneMode.exchange(mode);
    engine.retuneRate = mode == 1 ? 0.0012f : mode == 2 ? 0.0025f : 0.032f;
    return previous;
}

int32_t GetTuneMode() { return engine.tuneMode; }

bool ToggleTune() {
    bool previous = engine.tuneEnabled.load();
    while (!engine.tuneEnabled.compare_exchange_weak(previous, !previous)) {
    }
    return previous;
}

bool IsTuneEnabled() { return engine.tuneEnabled; }
int32_t GetKeyRoot() { return engine.harmonyKeyRoot; }
bool GetKeyMinor() { return engine.harmonyKeyMinor; }
float GetKeyConfidence() { return engine.harmonyKeyConfidence; }
bool IsRecorderActive() { return engine.recorderActive; }
uint64_t GetRecordFramesPushed() { return engine.recordFramesPushed; }
uint64_t GetRecordFramesDropped() { return engine.recordFramesDropped; }
