#pragma once
// "VANG LUX / SÁNG": eight damped combs and six all-passes per channel
// (right lines slightly longer for width), a 135 Hz input cut so the tail
// stays clear of the low end, 8 ms of pre-delay and a gentle output tone.
// The input cut keeps 12% of DC, which the combs would ring up above the
// level of the voice itself (an offset the warmth's even harmonics make),
// so a 5 Hz DC blocker follows it.
// The lines are sized at compile time for the engine rate, so start-up
// never allocates and nothing is ever resized.

#include <cstdint>

#include "engine/stereo.h"

constexpr uint32_t kReverbMaxComb = 2729;     // longest right comb at 48 kHz
constexpr uint32_t kReverbMaxAllPass = 831;   // longest right all-pass at 48 kHz
constexpr uint32_t kReverbPreDelayMax = 384;  // 8 ms at 48 kHz

struct ReverbComb {
    float line[kReverbMaxComb];
    uint32_t length;
    uint32_t index;
    float damp;
};

struct ReverbAllPass {
    float line[kReverbMaxAllPass];
    uint32_t length;
    uint32_t index;
};

struct Reverb {
    ReverbComb combs[2][8];
    ReverbAllPass allPasses[2][6];
    float preDelay[kReverbPreDelayMax];
    uint32_t preDelayLength;
    uint32_t preDelayIndex;
    float inputLowPass;
    float dcIn, dcOut;  // the DC blocker ahead of the pre-delay
    float toneLow[2];
    float toneHigh[2];
    float kInput, kToneLow, kToneHigh, kDcBlock;
};

// Sets the line lengths for the rate (capped at the compiled sizes) and clears.
void InitReverb(Reverb& r, float sampleRate);
void ClearReverb(Reverb& r);
// level is reverbLevel; 0 gives exact silence while the tail still builds.
StereoSample ProcessReverb(Reverb& r, float level, float x);
