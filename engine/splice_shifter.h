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
    float ratio;        // the read's pitch ratio, gliding towards its target
    float spliceRatio;  // the same for the read being faded in
};

void ClearSpliceShifter(SpliceShifter& s);
// One sample. Each read glides at `rate` towards the pitch ratio wanted for
// the audio it reads: `target` for the read at `delay`, `spliceTarget` for
// the one being faded in (their audio may be sung at different pitches).
// `period` is the sung pitch period in samples; `drift` lets the delay
// settle back to nominal (nothing is sung).
float ProcessSpliceShifter(SpliceShifter& s, float x, float target, float spliceTarget, float rate, float period,
                           bool drift);
