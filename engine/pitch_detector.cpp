#include "engine/pitch_detector.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
constexpr int kDecimation = 4;
constexpr int kWindow = 260;  // decimated samples analysed
constexpr int kSpan = 80;     // difference-function span
constexpr int kMaxLag = 159;
constexpr int kMinLag = 16;  // 750 Hz at 12 kHz
constexpr float kDetectorRate = 12000.0f;
constexpr float kThreshold = 0.22f;
constexpr float kQuietRms = 0.005f;
constexpr float kClearDip = 0.01f;
constexpr float kMuchDeeper = 0.25f;

// Oldest first, the newest being four samples behind the write position.
void Decimate(const PitchHistory& h, float* x) {
    for (int j = 0; j < kWindow; ++j) {
        x[j] = h.samples[(h.write - static_cast<uint32_t>(kDecimation * (kWindow - j))) & kPitchHistoryMask];
    }
}

float Rms(const float* x) {
    double sum = 0.0;
    for (int j = 0; j < kWindow; ++j) sum += static_cast<double>(x[j]) * x[j];
    return static_cast<float>(std::sqrt(sum / kWindow));
}

// Cumulative-mean-normalised difference d'(tau) for tau = 1..kMaxLag.
void NormalisedDifference(const float* x, float* dn) {
    float running = 0.0f;
    for (int tau = 1; tau <= kMaxLag; ++tau) {
        float d = 0.0f;
        for (int n = 0; n < kSpan; ++n) {
            const float diff = x[n] - x[n + tau];
            d += diff * diff;
        }
        running += d;
        dn[tau] = running > 1e-9f ? d * static_cast<float>(tau) / running : 1.0f;
    }
}

int LocalMinimumFrom(const float* dn, int tau) {
    while (tau + 1 <= kMaxLag && dn[tau] > dn[tau + 1]) ++tau;
    return tau;
}

// In low voices on open vowels strong harmonics near the first formant line
// up a little before the period and dip under the threshold. Such a dip is
// shallow, and a much deeper one follows within 40% of its lag (too close
// to be a multiple of it): that one is the period, checked the same way.
int SkipFormantDips(const float* dn, int tau) {
    for (int t = tau + 1; t <= kMaxLag && 5 * t <= 7 * tau && dn[tau] > kClearDip; ++t) {
        if (dn[t] < dn[tau] * kMuchDeeper) tau = t = LocalMinimumFrom(dn, t);
    }
    return tau;
}

// The first dip under the threshold, followed down to its local minimum; 0 when none.
int FindLag(const float* dn) {
    int tau = kMinLag;
    while (tau <= kMaxLag && dn[tau] >= kThreshold) ++tau;
    if (tau > kMaxLag) return 0;
    return SkipFormantDips(dn, LocalMinimumFrom(dn, tau));
}

float RefineLag(const float* dn, int tau) {
    if (tau < kMinLag || tau > kMaxLag - 1) return static_cast<float>(tau);
    const float denominator = 2.0f * (2.0f * dn[tau] - dn[tau - 1] - dn[tau + 1]);
    if (std::fabs(denominator) <= 1e-6f) return static_cast<float>(tau);
    return static_cast<float>(tau) + (dn[tau + 1] - dn[tau - 1]) / denominator;
}
}  // namespace

void ClearPitchHistory(PitchHistory& h) {
    std::fill(std::begin(h.samples), std::end(h.samples), 0.0f);
    h.write = 0;
}

void AppendPitchHistory(PitchHistory& h, const float* in, uint32_t nFrames) {
    for (uint32_t i = 0; i < nFrames; ++i) {
        h.samples[h.write] = in[i];
        h.write = (h.write + 1) & kPitchHistoryMask;
    }
}

PitchEstimate EstimatePitch(const PitchHistory& h) {
    float x[kWindow];
    Decimate(h, x);
    PitchEstimate e;
    const float rms = Rms(x);
    if (!(rms >= kQuietRms) || !std::isfinite(rms)) return e;
    float dn[kMaxLag + 1];
    NormalisedDifference(x, dn);
    const int tau = FindLag(dn);
    if (tau == 0) return e;
    e.periodic = true;
    e.confidence = 1.0f - dn[tau];
    e.frequency = kDetectorRate / RefineLag(dn, tau);
    return e;
}

float RefinePeriod(const PitchHistory& h, float period) {
    constexpr int kReach = 4;
    constexpr int kCompared = kDecimation * kSpan;
    constexpr int kWindowSamples = kDecimation * kWindow;
    const int centre = static_cast<int>(std::lround(period));
    if (!(period > 0.0f) || centre - kReach < 2 || centre + kReach + 1 >= kWindowSamples - kCompared) return period;
    // The window unwrapped, so the sums below run over plain arrays.
    float x[kWindowSamples];
    const uint32_t start = h.write - static_cast<uint32_t>(kWindowSamples);
    for (uint32_t n = 0; n < static_cast<uint32_t>(kWindowSamples); ++n)
        x[n] = h.samples[(start + n) & kPitchHistoryMask];
    float d[2 * kReach + 3];
    for (int j = 0; j < 2 * kReach + 3; ++j) {
        const float* later = x + centre - kReach - 1 + j;
        float sum = 0.0f;
        for (int n = 0; n < kCompared; ++n) {
            const float diff = x[n] - later[n];
            sum += diff * diff;
        }
        d[j] = sum;
    }
    int best = 1;
    for (int j = 2; j <= 2 * kReach + 1; ++j) {
        if (d[j] < d[best]) best = j;
    }
    const float denominator = d[best - 1] - 2.0f * d[best] + d[best + 1];
    const float offset = std::fabs(denominator) > 1e-12f ? 0.5f * (d[best - 1] - d[best + 1]) / denominator : 0.0f;
    return static_cast<float>(centre - kReach - 1 + best) + std::clamp(offset, -0.5f, 0.5f);
}
