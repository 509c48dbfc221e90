#pragma once
// Cookbook biquad in direct form I: five coefficients normalised by a0 and
// four states. Designing sets only the coefficients, so a filter can be
// retuned while it runs without a click from cleared state.

struct Biquad {
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
};

void DesignHighPass(Biquad& f, float sampleRate, float frequency, float q);
void ClearBiquad(Biquad& f);

inline float ProcessBiquad(Biquad& f, float x) {
    const float y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}
