#pragma once
// "HARMONY 3D": a diatonic third below (left) and above (right) the sung
// note in the key learned from the melody, each delayed a little so the
// voices sound like other singers rather than a doubled track.

#include <cstdint>

#include "engine/grain_shifter.h"
#include "engine/key_detector.h"

constexpr uint32_t kHarmonyDelayLow = 1152;   // 24 ms
constexpr uint32_t kHarmonyDelayHigh = 1536;  // 32 ms

struct Harmony {
    KeyDetector key;
    float input[kHarmonyRingSize];
    uint32_t write;
    GrainVoice low, high;
    float smoothLow, smoothHigh;
    float delayLow[kHarmonyDelayLow];
    float delayHigh[kHarmonyDelayHigh];
    uint32_t indexLow, indexHigh;
};

struct HarmonyVoices {
    float low = 0.0f;
    float high = 0.0f;
};

// Silences the voices and centres them; the learned key stays.
void ClearHarmony(Harmony& h);
// One sample of the toned voice; reads detectedNote and harmonyVolume.
HarmonyVoices ProcessHarmony(float s);
