#pragma once
// Pitch shifting by a moving read delay in a 4096-sample ring. Reading
// faster or slower than writing changes the pitch; when the delay nears an
// end of its range the read jumps by whole pitch periods, crossfaded over
// one period at the best-matching offset, so the splice is inaudible.

#include <cstdint>

constexpr uint32_t kShifterRingSize = 4096;
constexpr uint32_t kShifterRingMask = kShifterRingSize - 1;
constexpr float kShifterNominalDelay = 1500.0f;
constexpr float kShifterMinDelay = 250.0f;
constexpr float kShifterMaxDelay = 3200.0f;

struct SpliceShifter {
    float ring[kShifterRingSize];
    uint32_t write;
    float delay;
    bool splicing;
    float spliceDelay;  // the delay being faded in
    float fadePosition;
    float fadeLength;   // the pitch period at the splice start
};

void ClearSpliceShifter(SpliceShifter& s);
// One sample at pitch ratio `ratio`; `period` is the sung pitch period in
// samples; `drift` lets the delay settle back to nominal (nothing is sung).
float ProcessSpliceShifter(SpliceShifter& s, float x, float ratio, float period, bool drift);
