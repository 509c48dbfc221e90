#include "engine/reverb.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/delay_line.h"
#include "engine/one_pole.h"

namespace {
constexpr uint32_t kCombBase[2][8] = {{1499, 1601, 1747, 1877, 2017, 2179, 2333, 2477},
                                      {1530, 1632, 1778, 1908, 2048, 2210, 2364, 2508}};
constexpr uint32_t kAllPassBase[2][6] = {{733, 607, 487, 373, 283, 197}, {764, 638, 518, 404, 314, 228}};
constexpr float kDamping = 0.11f;
constexpr float kCombFeedback = 0.915f;
constexpr float kAllPassFeedback = 0.65f;
constexpr float kReturnScale = 0.0245f;
constexpr float kCrossFeed = 0.04f;

// The tunings are for 44.1 kHz; the lines scale with the rate.
uint32_t ScaledLength(uint32_t base, float sampleRate, uint32_t capacity) {
    return DelayLength(static_cast<double>(base) * sampleRate / 44100.0, capacity);
}

float RunComb(ReverbComb& c, float input) {
    const float y = c.line[c.index];
    c.damp = kDamping * c.damp + (1.0f - kDamping) * y;
    PushDelay(c.line, c.index, c.length, c.damp * kCombFeedback + input);
    return y;
}

float RunAllPass(ReverbAllPass& a, float input) {
    const float y = a.line[a.index];
    PushDelay(a.line, a.index, a.length, y * kAllPassFeedback + input);
    return y - input;
}

float BlockDc(Reverb& r, float x) {
    r.dcOut = x - r.dcIn + r.kDcBlock * r.dcOut;
    r.dcIn = x;
    return r.dcOut;
}

float RunChannel(Reverb& r, int ch, float input) {
    float sum = 0.0f;
    for (ReverbComb& c : r.combs[ch]) sum += RunComb(c, input);
    for (ReverbAllPass& a : r.allPasses[ch]) sum = RunAllPass(a, sum);
    // A little more body under 1150 Hz and a little more air over 5800 Hz.
    sum += 0.06f * RunLowPass(r.toneLow[ch], sum, r.kToneLow);
    const float hi = RunLowPass(r.toneHigh[ch], sum, r.kToneHigh);
    return hi + (sum - hi) * 1.14f;
}
}  // namespace

void InitReverb(Reverb& r, float sampleRate) {
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 8; ++i) r.combs[ch][i].length = ScaledLength(kCombBase[ch][i], sampleRate, kReverbMaxComb);
        for (int i = 0; i < 6; ++i) {
            r.allPasses[ch][i].length = ScaledLength(kAllPassBase[ch][i], sampleRate, kReverbMaxAllPass);
        }
    }
    r.preDelayLength = DelayLength(0.008 * sampleRate, kReverbPreDelayMax);
    r.kInput = LowPassCoefficient(135.0f);
    r.kToneLow = LowPassCoefficient(1150.0f);
    r.kToneHigh = LowPassCoefficient(5800.0f);
    r.kDcBlock = std::exp(-2.0f * static_cast<float>(M_PI) * 5.0f / sampleRate);
    ClearReverb(r);
}

void ClearReverb(Reverb& r) {
    for (auto& channel : r.combs) {
        for (ReverbComb& c : channel) {
            std::fill(std::begin(c.line), std::end(c.line), 0.0f);
            c.index = 0;
            c.damp = 0.0f;
        }
    }
    for (auto& channel : r.allPasses) {
        for (ReverbAllPass& a : channel) {
            std::fill(std::begin(a.line), std::end(a.line), 0.0f);
            a.index = 0;
        }
    }
    std::fill(std::begin(r.preDelay), std::end(r.preDelay), 0.0f);
    r.preDelayIndex = 0;
    r.inputLowPass = 0.0f;
    r.dcIn = r.dcOut = 0.0f;
    r.toneLow[0] = r.toneLow[1] = r.toneHigh[0] = r.toneHigh[1] = 0.0f;
}

StereoSample ProcessReverb(Reverb& r, float level, float x) {
    // Most of the content under 135 Hz stays out of the tail.
    const float shaped = BlockDc(r, x - 0.88f * RunLowPass(r.inputLowPass, x, r.kInput));
    const float delayed = StepDelay(r.preDelay, r.preDelayIndex, r.preDelayLength, shaped);

    const float left = RunChannel(r, 0, delayed);
    const float right = RunChannel(r, 1, delayed);
    const float scale = level * kReturnScale;
    return {(left + kCrossFeed * right) * scale, (right + kCrossFeed * left) * scale};
}
