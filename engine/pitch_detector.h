#pragma once
// A YIN-style pitch detector on the newest 1040 microphone samples taken at
// every fourth sample (12 kHz, no anti-alias filter): cheap enough to run in
// the callback, and 76..750 Hz covers every singing voice.

#include <cstdint>

constexpr uint32_t kPitchHistorySize = 2048;  // at least 1040, a power of two
constexpr uint32_t kPitchHistoryMask = kPitchHistorySize - 1;

struct PitchHistory {
    float samples[kPitchHistorySize];
    uint32_t write;
};

struct PitchEstimate {
    bool periodic = false;   // loud enough and a dip under the threshold was found
    float frequency = 0.0f;  // refined on the full-rate history
    float confidence = 0.0f;
    float heardBehind = 0.0f;  // samples behind the newest input that the reading describes
};

void ClearPitchHistory(PitchHistory& h);
void AppendPitchHistory(PitchHistory& h, const float* in, uint32_t nFrames);
// The raw estimate, before any octave correction.
PitchEstimate EstimatePitch(const PitchHistory& h);
