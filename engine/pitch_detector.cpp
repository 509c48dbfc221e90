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
constexpr float kMuchMorePeriodic = 0.3f;  // of the aperiodicity at the lag found
constexpr float kPeriodicMargin = 0.01f;

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

// The difference d(tau) and its cumulative-mean-normalised form d'(tau) for tau = 1..kMaxLag.
void Differences(const float* x, float* d, float* dn) {
    float running = 0.0f;
    for (int tau = 1; tau <= kMaxLag; ++tau) {
        float sum = 0.0f;
        for (int n = 0; n < kSpan; ++n) {
            const float diff = x[n] - x[n + tau];
            sum += diff * diff;
        }
        d[tau] = sum;
        running += sum;
        dn[tau] = running > 1e-9f ? sum * static_cast<float>(tau) / running : 1.0f;
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

// Where the parabola through three equally spaced values turns, in steps
// from the middle one; 0 when they lie on a line.
float VertexOffset(float before, float at, float after) {
    const float curvature = before - 2.0f * at + after;
    return std::fabs(curvature) > 1e-12f ? 0.5f * (before - after) / curvature : 0.0f;
}

float RefineLag(const float* dn, int tau) {
    if (tau < kMinLag || tau > kMaxLag - 1) return static_cast<float>(tau);
    return static_cast<float>(tau) + VertexOffset(dn[tau - 1], dn[tau], dn[tau + 1]);
}

// The differences of the low band at lags tau - 1, tau and tau + 1, and the
// energies of their later spans, in one pass.
void LowDifferences(const float* low, int tau, float* diff, float* later) {
    float sums[3] = {0.0f, 0.0f, 0.0f};
    float energies[3] = {0.0f, 0.0f, 0.0f};
    for (int n = 0; n < kSpan; ++n) {
        for (int k = 0; k < 3; ++k) {
            const float y = low[n + tau - 1 + k];
            sums[k] += (low[n] - y) * (low[n] - y);
            energies[k] += y * y;
        }
    }
    std::copy_n(sums, 3, diff);
    std::copy_n(energies, 3, later);
}

// How far the low band is from repeating at its dip next to tau: the bottom
// of the parabola through the dip and its neighbours over the energy of both
// spans (`head` is the earlier one's), 0 for a repeat, about 1 for no
// relation. Unlike d' it has no bias towards long lags; the low band and the
// parabola keep it from favouring the lags that happen to fall near a whole
// number.
float Aperiodicity(const float* low, float head, int tau) {
    float diff[3];
    float later[3];
    LowDifferences(low, tau, diff, later);
    for (int step = 0; step < 2 && diff[0] < diff[1]; ++step) LowDifferences(low, --tau, diff, later);
    for (int step = 0; step < 2 && diff[2] < diff[1]; ++step) LowDifferences(low, ++tau, diff, later);
    float bottom = std::min({diff[0], diff[1], diff[2]});
    const float curvature = diff[0] + diff[2] - 2.0f * diff[1];
    if (bottom == diff[1] && curvature > 1e-9f) {
        const float slope = diff[2] - diff[0];
        bottom = std::max(0.0f, diff[1] - slope * slope / (8.0f * curvature));
    }
    const float energy = head + later[1];
    return energy > 1e-9f ? bottom / energy : 1.0f;
}

// The dip of d nearest `around`, followed downhill; 0 when it lies too far
// from `around` (over 6% and two lags) to be a multiple of the lag.
int DipNear(const float* d, int around) {
    int t = around;
    while (t > kMinLag && d[t - 1] < d[t]) --t;
    while (t < kMaxLag - 1 && d[t + 1] < d[t]) ++t;
    return std::abs(t - around) <= 2 + around / 16 ? t : 0;
}

// On a low closed vowel the harmonic nearest the first formant (the third of
// a low "i") can drown the rest: it repeats at a third or two thirds of the
// period, which dips under the threshold first. The whole period repeats far
// better, so a dip at 3/2, 2 or 3 times the lag whose low band is much more
// periodic is taken instead, the shortest first. A true period's multiples
// are no better than it (vibrato and breath make them worse); the margin
// keeps a clean voice, whose every multiple repeats almost perfectly.
int PreferWholePeriod(const float* x, const float* d, const float* dn, int tau) {
    constexpr float kMultiples[] = {1.5f, 2.0f, 3.0f};
    // Two four-sample sums in a row: nothing left at 3 kHz, a tenth at 2.2 kHz.
    float box[kWindow - 3];
    for (int j = 0; j < kWindow - 3; ++j) box[j] = x[j] + x[j + 1] + x[j + 2] + x[j + 3];
    float low[kWindow - 6];
    for (int j = 0; j < kWindow - 6; ++j) low[j] = box[j] + box[j + 1] + box[j + 2] + box[j + 3];
    float head = 0.0f;
    for (int n = 0; n < kSpan; ++n) head += low[n] * low[n];
    for (bool moved = true; moved;) {  // each move lengthens the lag
        moved = false;
        const float lag = RefineLag(dn, tau);
        const float enough = kMuchMorePeriodic * Aperiodicity(low, head, tau) - kPeriodicMargin;
        if (enough <= 0.0f) break;  // no dip could do better
        for (const float m : kMultiples) {
            const int around = static_cast<int>(std::lround(m * lag));
            if (around > kMaxLag - 1) break;
            const int t = DipNear(d, around);
            if (t > 0 && Aperiodicity(low, head, t) < enough) {
                tau = t;
                moved = true;
                break;
            }
        }
    }
    return tau;
}

// The first dip under the threshold, followed down to its local minimum; 0 when none.
int FindLag(const float* x, const float* d, const float* dn) {
    int tau = kMinLag;
    while (tau <= kMaxLag && dn[tau] >= kThreshold) ++tau;
    if (tau > kMaxLag) return 0;
    return PreferWholePeriod(x, d, dn, SkipFormantDips(dn, LocalMinimumFrom(dn, tau)));
}
// The period in full-rate samples, found within four samples of `period`
// on the same stretch of history the estimate compared: the decimated lag
// alone is a few cents coarse for high voices.
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
    const float offset = VertexOffset(d[best - 1], d[best], d[best + 1]);
    return static_cast<float>(centre - kReach - 1 + best) + std::clamp(offset, -0.5f, 0.5f);
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
    float d[kMaxLag + 1];
    float dn[kMaxLag + 1];
    Differences(x, d, dn);
    const int tau = FindLag(x, d, dn);
    if (tau == 0) return e;
    e.periodic = true;
    e.confidence = 1.0f - dn[tau];
    const float lag = RefineLag(dn, tau);
    e.frequency = kDetectorRate * kDecimation / RefinePeriod(h, kDecimation * lag);
    // The oldest kSpan samples are compared with those `lag` later: the
    // reading describes the middle of that span.
    e.heardBehind = kDecimation * (kWindow - (kSpan - 1 + lag) / 2.0f);
    return e;
}
