#include "engine/splice_shifter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/ring_read.h"

namespace {
constexpr int kAlignPoints = 32;
constexpr int kMaxAlignSpan = 256;
constexpr int kMaxReach = 275;  // half the longest period

float Read(const SpliceShifter& s, float delay) { return ReadBehind(s.ring, kShifterRingMask, s.write, delay); }

// How well the candidate at offset `o` matches `current`; `candidate[o + last - k * step]` is its k-th point.
float Match(const float* candidate, const float* current, int o, int last, int step) {
    float match = 0.0f;
    float energy = 1e-12f;
    for (int k = 0; k < kAlignPoints; ++k) {
        const float c = candidate[o + last - k * step];
        match += c * current[k];
        energy += c * c;
    }
    return match / std::sqrt(energy);
}

// The offset of the target read position whose coming samples best match
// the current read's, so the crossfade joins waveforms in phase. Half a
// period either way always holds a match, however far a vibrato has moved
// the phase between the two places. The match is judged over a period (up
// to 256 samples, at 32 points), since a few samples of a low voice match
// as well at a strong harmonic's phase, and normalised, since a louder
// stretch is no better a match. Every other offset is tried, then the
// neighbours of the best; each candidate sample is interpolated once.
float AlignedDelay(const SpliceShifter& s, float target, float period) {
    const int reach = std::clamp(static_cast<int>(period / 2.0f), 10, kMaxReach);
    const int span = std::clamp(static_cast<int>(period), kAlignPoints, kMaxAlignSpan);
    const int step = span / kAlignPoints;
    const int last = (kAlignPoints - 1) * step;
    float current[kAlignPoints];
    for (int k = 0; k < kAlignPoints; ++k) current[k] = Read(s, s.delay - static_cast<float>(k * step));
    // candidate[j] is the sample at delay target - reach + j - last.
    float candidate[2 * kMaxReach + kMaxAlignSpan];
    for (int j = 0; j <= 2 * reach + last; ++j) candidate[j] = Read(s, target + static_cast<float>(j - reach - last));
    float bestScore = -INFINITY;
    int best = 0;
    for (int o = 0; o <= 2 * reach; o += 2) {
        const float score = Match(candidate, current, o, last, step);
        if (score > bestScore) {
            bestScore = score;
            best = o;
        }
    }
    const int coarse = best;
    for (const int o : {coarse - 1, coarse + 1}) {
        if (o < 0 || o > 2 * reach) continue;
        const float score = Match(candidate, current, o, last, step);
        if (score > bestScore) {
            bestScore = score;
            best = o;
        }
    }
    return target + static_cast<float>(best - reach);
}

// A splice starts whenever the delay has reached the end it is moving
// towards, however slowly it moves: a small steady correction would
// otherwise carry it out of its range and the read would wrap the ring.
void MaybeStartSplice(SpliceShifter& s, float ratio, float period) {
    const float p = std::clamp(period, 80.0f, 550.0f);
    const bool forward = ratio > 1.0f && s.delay <= kShifterMinDelay + p;
    const bool backward = ratio < 1.0f && s.delay >= kShifterMaxDelay - p;
    if (!forward && !backward) return;
    const float periods = std::max(1.0f, std::round((kShifterMaxDelay - kShifterMinDelay - 2.0f * p) / p));
    const float target = forward ? s.delay + periods * p : s.delay - periods * p;
    s.spliceDelay = AlignedDelay(s, target, p);
    s.spliceRatio = ratio;
    s.splicing = true;
    s.fadePosition = 0.0f;
    s.fadeLength = p;
}

float SpliceOutput(SpliceShifter& s, float spliceTarget, float rate) {
    s.spliceRatio += (spliceTarget - s.spliceRatio) * rate;
    s.spliceDelay += 1.0f - s.spliceRatio;
    s.fadePosition += 1.0f;
    const float g = (1.0f - std::cos(static_cast<float>(M_PI) * std::min(1.0f, s.fadePosition / s.fadeLength))) / 2.0f;
    const float y = Read(s, s.delay) * (1.0f - g) + Read(s, s.spliceDelay) * g;
    if (s.fadePosition >= s.fadeLength) {
        s.delay = s.spliceDelay;
        s.ratio = s.spliceRatio;
        s.splicing = false;
    }
    return y;
}
}  // namespace

void ClearSpliceShifter(SpliceShifter& s) {
    std::fill(std::begin(s.ring), std::end(s.ring), 0.0f);
    s.write = 0;
    s.delay = kShifterNominalDelay;
    s.splicing = false;
    s.spliceDelay = kShifterNominalDelay;
    s.fadePosition = 0.0f;
    s.fadeLength = 0.0f;
    s.ratio = 1.0f;
    s.spliceRatio = 1.0f;
}

float ProcessSpliceShifter(SpliceShifter& s, float x, float target, float spliceTarget, float rate, float period,
                           bool drift) {
    s.ring[s.write] = x;
    if (!s.splicing && drift) s.delay += (kShifterNominalDelay - s.delay) * 0.002f;
    s.ratio += (target - s.ratio) * rate;
    s.delay += 1.0f - s.ratio;
    if (!s.splicing) MaybeStartSplice(s, s.ratio, period);
    const float y = s.splicing ? SpliceOutput(s, spliceTarget, rate) : Read(s, s.delay);
    s.write = (s.write + 1) & kShifterRingMask;
    return y;
}
