#pragma once
// Cookbook biquad in direct form I: five coefficients normalised by a0 and
// four states. Designing sets only the coefficients, so a filter can be
// retuned while it runs without a click from cleared state. The setters
// retune on the UI thread while the callback runs the filter, so the
// coefficients are atomics (plain moves on x86); a block may see a mixed
// set for one sample, which is harmless.

#include <atomic>

struct Biquad {
    std::atomic<float> b0{1.0f}, b1{0.0f}, b2{0.0f}, a1{0.0f}, a2{0.0f};
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
};

void DesignHighPass(Biquad& f, float sampleRate, float frequency, float q);
// Under 0.001 dB of gain the bell and the shelf are exactly flat.
void DesignPeaking(Biquad& f, float sampleRate, float frequency, float q, float gainDb);
// Shelf slope 1.
void DesignHighShelf(Biquad& f, float sampleRate, float frequency, float gainDb);
void ClearBiquad(Biquad& f);

inline float ProcessBiquad(Biquad& f, float x) {
    constexpr auto relaxed = std::memory_order_relaxed;
    const float y = f.b0.load(relaxed) * x + f.b1.load(relaxed) * f.x1 + f.b2.load(relaxed) * f.x2 -
                    f.a1.load(relaxed) * f.y1 - f.a2.load(relaxed) * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}
