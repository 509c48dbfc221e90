#include "engine/body_plus.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_params.h"
#include "engine/one_pole.h"
#include "engine/saturation.h"

namespace {
struct Band {
    float frequency;
    float q;
    float gainDb;
};
constexpr Band kBands[5] = {
    {130.0f, 0.72f, 5.0f}, {250.0f, 0.9f, 2.6f}, {430.0f, 1.0f, -3.0f}, {4500.0f, 0.85f, 1.0f}, {9500.0f, 0.7f, 0.6f}};
}  // namespace

void InitBodyPlus(BodyPlus& b) {
    for (int i = 0; i < 5; ++i) {
        DesignPeaking(b.filters[i], EngineParams::sampleRate, kBands[i].frequency, kBands[i].q, kBands[i].gainDb);
    }
    b.lowSplitCoefficient = LowPassCoefficient(1000.0f);
    ClearBodyPlus(b);
}

void ClearBodyPlus(BodyPlus& b) {
    for (Biquad& f : b.filters) ClearBiquad(f);
    b.lowSplit = 0.0f;
}

float ProcessBodyPlus(BodyPlus& b, float amount, float s) {
    if (amount <= 0.001f) return s;
    float e = s;
    for (Biquad& f : b.filters) e = ProcessBiquad(f, e);
    const float lp = RunLowPass(b.lowSplit, e, b.lowSplitCoefficient);
    const float sat = NormalisedTanh(lp, 1.1f * amount + 1.35f);
    const float q = 0.3f * amount + 0.14f;
    const float wet = lp * (1.0f - q) + q * sat + (e - lp);
    const float mix = std::clamp(1.15f * amount, 0.0f, 1.0f);
    return (wet * mix + (1.0f - mix) * s) * (1.0f - 0.07f * amount);
}
