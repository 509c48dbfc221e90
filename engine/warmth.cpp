#include "engine/warmth.h"

#include <cmath>

#include "engine/one_pole.h"
#include "engine/saturation.h"

void InitWarmth(Warmth& w) {
    w.k = LowPassCoefficient(1050.0f);
    ClearWarmth(w);
}

void ClearWarmth(Warmth& w) { w.lowPass = 0.0f; }

float ProcessWarmth(Warmth& w, float amount, float s) {
    if (amount <= 0.001f) return s;
    const float lp = RunLowPass(w.lowPass, s, w.k);
    const float hi = (s - lp) * 0.97f;
    const float sat = NormalisedTanh(lp, 3.5f * amount + 1.25f);
    const float wet = std::fabs(sat) * sat * 0.1f * amount + sat + hi;
    const float mix = 0.78f * amount + 0.1f;
    const float out = (wet * mix + (1.0f - mix) * s) * (1.0f - 0.045f * amount);
    return std::fabs(out) < 1e-8f ? 0.0f : out;
}
