#include "engine/master_bus.h"

#include <cmath>

#include "engine/engine_params.h"
#include "engine/one_pole.h"
#include "engine/param_clamp.h"

namespace {
constexpr float kBypassAmount = 0.02f;
constexpr float kClipKnee = 0.78f;
constexpr float kClipRange = 0.22f;
// Below this the envelope would decay into denormals during long silences.
constexpr float kEnvelopeFloor = 1e-20f;
// Keeps the envelope finite on absurd input, so the gain law never sees inf/inf.
constexpr float kEnvelopeCeiling = 1e9f;

float SoftClip(float y) {
    const float a = std::fabs(y);
    if (a <= kClipKnee) return y;
    return std::copysign(kClipKnee + kClipRange * std::tanh((a - kClipKnee) / kClipRange), y);
}

float Ceiling(float y) {
    return ClampParam(y, -EngineParams::masterCeiling, EngineParams::masterCeiling);
}

// A NaN would otherwise stick in the envelope and silence the bus for good.
float Finite(float x) {
    if (std::isfinite(x)) return x;
    engine.nonFiniteSamples.fetch_add(1, std::memory_order_relaxed);
    return 0.0f;
}

float GlueGain(float threshold) {
    const float env = engine.glueEnv;
    if (env > threshold && env > 1e-5f) {
        return ((env - threshold) / EngineParams::glueRatio + threshold) / env;
    }
    return 1.0f;
}
}  // namespace

void InitMasterGlue() {
    engine.glueEnv = 0.0f;
    engine.glueAttack = OnePoleCoefficient(0.025f);
    engine.glueRelease = OnePoleCoefficient(0.12f);
    SetMasterGlue(0.6f);
}

void SetMasterGlue(float amount) {
    const float a = ClampParam(amount, 0.0f, 1.0f);
    engine.glueAmount = a;
    engine.glueThreshold = 0.75f - 0.35f * a;
    engine.glueMakeup = 1.0f + 0.3f * a;
}

void SetMasterOutputDb(float db) {
    engine.masterOutputGain = std::pow(10.0f, ClampParam(db, -6.0f, 8.0f) / 20.0f);
}

MasterSettings LoadMasterSettings() {
    return {engine.glueAmount.load(std::memory_order_relaxed),
            engine.glueThreshold.load(std::memory_order_relaxed),
            engine.glueMakeup.load(std::memory_order_relaxed),
            engine.masterOutputGain.load(std::memory_order_relaxed)};
}

StereoSample ProcessMaster(const MasterSettings& settings, float left, float right) {
    left = Finite(left);
    right = Finite(right);
    if (settings.amount <= kBypassAmount) return {Ceiling(left), Ceiling(right)};

    const float m = std::fmin(std::fmax(std::fabs(left), std::fabs(right)), kEnvelopeCeiling);
    const float c = m > engine.glueEnv ? engine.glueAttack : engine.glueRelease;
    engine.glueEnv = (1.0f - c) * m + c * engine.glueEnv;
    if (engine.glueEnv < kEnvelopeFloor) engine.glueEnv = 0.0f;

    const float g = GlueGain(settings.threshold) * settings.makeup * settings.outputGain;
    return {Ceiling(SoftClip(left * g)), Ceiling(SoftClip(right * g))};
}
