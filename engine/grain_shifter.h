#pragma once
// A two-tap grain pitch shifter for the harmony voices: two reads half a
// 24 ms window apart, each faded by a raised cosine, sliding through the
// shared input ring at the pitch ratio.

#include <cstdint>

constexpr uint32_t kHarmonyRingSize = 8192;
constexpr uint32_t kHarmonyRingMask = kHarmonyRingSize - 1;
constexpr float kGrainWindow = 1152.0f;

struct GrainVoice {
    float phase;        // read delay of the first tap, 0..kGrainWindow
    float targetRatio;
    float ratio;
};

// `write` is the slot of the sample just stored.
float ProcessGrain(GrainVoice& v, const float* ring, uint32_t write);
