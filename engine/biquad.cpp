#include "engine/biquad.h"

#include <cmath>

void DesignHighPass(Biquad& f, float sampleRate, float frequency, float q) {
    const double w = 2.0 * M_PI * frequency / sampleRate;
    const double cosw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    f.b0 = static_cast<float>((1.0 + cosw) / 2.0 / a0);
    f.b1 = static_cast<float>(-(1.0 + cosw) / a0);
    f.b2 = f.b0;
    f.a1 = static_cast<float>(-2.0 * cosw / a0);
    f.a2 = static_cast<float>((1.0 - alpha) / a0);
}

void ClearBiquad(Biquad& f) {
    f.x1 = f.x2 = f.y1 = f.y2 = 0.0f;
}
