#include "engine/de_esser.h"

#include <algorithm>
#include <cmath>

#include "engine/one_pole.h"

namespace {
float Reduction(float ratio, float amount) {
    const float k = std::pow(amount, 0.55f);
    const float threshold = 0.25f - 0.15f * k;
    if (ratio <= threshold) return 0.0f;
    return std::clamp((8.0f * k + 4.0f) * (ratio - threshold), 0.0f, 0.66f * k + 0.12f);
}
}  // namespace

void InitDeEsser(DeEsser& d) {
    d.k5k = LowPassCoefficient(5000.0f);
    d.k10k = LowPassCoefficient(10500.0f);
    d.attack = OnePoleCoefficient(0.0015f);
    d.release = OnePoleCoefficient(0.075f);
    ClearDeEsser(d);
}

void ClearDeEsser(DeEsser& d) {
    d.lowPass5k = d.lowPass10k = d.bandEnvelope = d.levelEnvelope = 0.0f;
}

float ProcessDeEsser(DeEsser& d, float amount, float s) {
    const float a = std::clamp(amount, 0.0f, 1.0f);
    if (a <= 0.001f) return s;
    const float band = RunLowPass(d.lowPass10k, s, d.k10k) - RunLowPass(d.lowPass5k, s, d.k5k);
    const float b = std::fabs(band);
    d.bandEnvelope = FollowEnvelope(d.bandEnvelope, b, b > d.bandEnvelope ? d.attack : d.release);
    const float x = std::fabs(s);
    d.levelEnvelope = FollowEnvelope(d.levelEnvelope, x, x > d.levelEnvelope ? 0.975f : 0.9985f);
    if (d.levelEnvelope < 0.0005f) return s;

    const float q = Reduction(d.bandEnvelope / (d.levelEnvelope + 1e-5f), a);
    const float out = s - q * band;
    if (std::isfinite(out)) return out;
    // Skipping the sample alone would leave the bad value in the filters
    // and skip the stage forever after.
    ClearDeEsser(d);
    return s;
}
