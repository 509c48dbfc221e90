#include "engine/splice_shifter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/ring_read.h"

namespace {
constexpr int kAlignSpan = 32;
constexpr int kMaxReach = 120;

float Read(const SpliceShifter& s, float delay) { return ReadBehind(s.ring, kShifterRingMask, s.write, delay); }

// The offset of the target read position whose next 32 samples best match the
// current read's, so the crossfade joins waveforms in phase. A candidate's
// samples depend only on offset + k, so each is interpolated once.
float AlignedDelay(const SpliceShifter& s, float target, float period) {
    const int reach = std::clamp(static_cast<int>(period / 2.0f), 10, kMaxReach);
    float current[kAlignSpan];
    for (int k = 0; k < kAlignSpan; ++k) current[k] = Read(s, s.delay + static_cast<float>(k));
    float candidate[2 * kMaxReach + kAlignSpan];
    for (int j = 0; j < 2 * reach + kAlignSpan; ++j) candidate[j] = Read(s, target + static_cast<float>(j - reach));
    float bestScore = -INFINITY;
    int best = 0;
    for (int o = 0; o <= 2 * reach; ++o) {
        float score = 0.0f;
        for (int k = 0; k < kAlignSpan; ++k) score += candidate[o + k] * current[k];
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
    const float periods =
        std::max(1.0f, std::round((kShifterMaxDelay - kShifterMinDelay - 2.0f * p) / p));
    const float target = forward ? s.delay + periods * p : s.delay - periods * p;
    s.spliceDelay = AlignedDelay(s, target, p);
    s.splicing = true;
    s.fadePosition = 0.0f;
    s.fadeLength = p;
}

float SpliceOutput(SpliceShifter& s, float ratio) {
    s.spliceDelay += 1.0f - ratio;
    s.fadePosition += 1.0f;
    const float g = (1.0f - std::cos(static_cast<float>(M_PI) * std::min(1.0f, s.fadePosition / s.fadeLength))) / 2.0f;
    const float y = Read(s, s.delay) * (1.0f - g) + Read(s, s.spliceDelay) * g;
    if (s.fadePosition >= s.fadeLength) {
        s.delay = s.spliceDelay;
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
}

float ProcessSpliceShifter(SpliceShifter& s, float x, float ratio, float period, bool drift) {
    s.ring[s.write] = x;
    if (!s.splicing && drift) s.delay += (kShifterNominalDelay - s.delay) * 0.002f;
    s.delay += 1.0f - ratio;
    if (!s.splicing) MaybeStartSplice(s, ratio, period);
    const float y = s.splicing ? SpliceOutput(s, ratio) : Read(s, s.delay);
    s.write = (s.write + 1) & kShifterRingMask;
    return y;
}
