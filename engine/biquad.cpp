#include "engine/biquad.h"

#include <cmath>

namespace {
// Designs run in double and store floats; a0 is already divided out.
void Store(Biquad& f, double b0, double b1, double b2, double a1, double a2, double a0) {
    constexpr auto relaxed = std::memory_order_relaxed;
    f.b0.store(static_cast<float>(b0 / a0), relaxed);
    f.b1.store(static_cast<float>(b1 / a0), relaxed);
    f.b2.store(static_cast<float>(b2 / a0), relaxed);
    f.a1.store(static_cast<float>(a1 / a0), relaxed);
    f.a2.store(static_cast<float>(a2 / a0), relaxed);
}

double Omega(float sampleRate, float frequency) { return 2.0 * M_PI * frequency / sampleRate; }

// A 0 dB bell or shelf is flat in theory but not in float arithmetic: exact
// unity coefficients pass the signal through bit for bit.
bool Negligible(float gainDb) { return std::fabs(gainDb) < 0.001f; }
void DesignFlat(Biquad& f) { Store(f, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0); }
}  // namespace

void DesignHighPass(Biquad& f, float sampleRate, float frequency, float q) {
    const double w = Omega(sampleRate, frequency);
    const double cosw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    Store(f, (1.0 + cosw) / 2.0, -(1.0 + cosw), (1.0 + cosw) / 2.0, -2.0 * cosw, 1.0 - alpha, 1.0 + alpha);
}

void DesignPeaking(Biquad& f, float sampleRate, float frequency, float q, float gainDb) {
    if (Negligible(gainDb)) return DesignFlat(f);
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = Omega(sampleRate, frequency);
    const double cosw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    Store(f, 1.0 + alpha * a, -2.0 * cosw, 1.0 - alpha * a, -2.0 * cosw, 1.0 - alpha / a, 1.0 + alpha / a);
}

void DesignHighShelf(Biquad& f, float sampleRate, float frequency, float gainDb) {
    if (Negligible(gainDb)) return DesignFlat(f);
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = Omega(sampleRate, frequency);
    const double cosw = std::cos(w);
    const double alpha = std::sin(w) / 2.0 * std::sqrt(2.0);
    const double k = 2.0 * std::sqrt(a) * alpha;
    Store(f, a * ((a + 1.0) + (a - 1.0) * cosw + k), -2.0 * a * ((a - 1.0) + (a + 1.0) * cosw),
          a * ((a + 1.0) + (a - 1.0) * cosw - k), 2.0 * ((a - 1.0) - (a + 1.0) * cosw),
          (a + 1.0) - (a - 1.0) * cosw - k, (a + 1.0) - (a - 1.0) * cosw + k);
}

void ClearBiquad(Biquad& f) {
    f.x1 = f.x2 = f.y1 = f.y2 = 0.0f;
}
