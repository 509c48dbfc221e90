#include "engine/grain_shifter.h"

#include <cmath>

#include "engine/ring_read.h"

namespace {
float Window(float p) { return (1.0f - std::cos(2.0f * static_cast<float>(M_PI) * p / kGrainWindow)) / 2.0f; }

float Wrap(float p) {
    if (p >= kGrainWindow) return p - kGrainWindow;
    if (p < 0.0f) return p + kGrainWindow;
    return p;
}
}  // namespace

float ProcessGrain(GrainVoice& v, const float* ring, uint32_t write) {
    const float pA = v.phase;
    const float pB = Wrap(pA + kGrainWindow / 2.0f);
    const float y = ReadBehind(ring, kHarmonyRingMask, write, pA) * Window(pA) + ReadBehind(ring, kHarmonyRingMask, write, pB) * Window(pB);
    v.phase = Wrap(pA + 1.0f - v.ratio);
    return y;
}
