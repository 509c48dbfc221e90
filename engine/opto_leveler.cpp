#include "engine/opto_leveler.h"

#include <cmath>

#include "engine/one_pole.h"
#include "engine/saturation.h"

namespace {
float DetectorCoefficient(const OptoLeveler& o, float x) {
    if (x > o.envelope) return o.attack;
    return o.gain < 0.72f ? o.slowRelease : o.fastRelease;
}

float TargetGain(float amount, float levelDb) {
    const float threshold = -8.0f - 14.0f * amount;
    const float ratio = 2.2f + 1.3f * amount;
    const float over = levelDb - threshold;
    const float gainDb = over > 0.0f ? -(1.0f - 1.0f / ratio) * over : 0.0f;
    return std::pow(10.0f, std::fmax(gainDb, -2.0f - 8.0f * amount) / 20.0f);
}
}  // namespace

void InitOptoLeveler(OptoLeveler& o) {
    o.attack = OnePoleCoefficient(0.012f);
    o.slowRelease = OnePoleCoefficient(0.85f);
    o.fastRelease = OnePoleCoefficient(0.18f);
    o.gainFall = OnePoleCoefficient(0.012f);
    o.gainRise = OnePoleCoefficient(0.18f);
    ClearOptoLeveler(o);
}

void ClearOptoLeveler(OptoLeveler& o) {
    o.envelope = 0.0f;
    o.gain = 1.0f;
}

float ProcessOptoLeveler(OptoLeveler& o, float amount, float s) {
    if (amount <= 0.001f) return s;
    const float x = std::fabs(s);
    o.envelope = FollowEnvelope(o.envelope, x, DetectorCoefficient(o, x));
    const float target = TargetGain(amount, LevelDb(o.envelope, 1e-7f, -120.0f));
    o.gain = FollowEnvelope(o.gain, target, o.gain > target ? o.gainFall : o.gainRise);

    const float drive = 1.0f + 0.7f * amount;
    const float makeup = std::pow(10.0f, (1.0f + 5.0f * amount) / 20.0f);
    const float coloured = NormalisedTanh(makeup * o.gain * s, drive);
    const float mix = 0.15f + 0.8f * amount;
    return (mix * coloured + (1.0f - mix) * s) * (1.0f - 0.035f * amount);
}
