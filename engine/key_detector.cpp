#include "engine/key_detector.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/engine_params.h"
#include "engine/harmony_intervals.h"

namespace {
constexpr int32_t kUpdateSamples = 2400;  // 50 ms of held note
constexpr int32_t kCountCap = 200000;
constexpr float kFade = 0.992f;

struct Key {
    int32_t root;
    bool minor;
};

bool InScale(int32_t interval, const int32_t* steps) { return std::find(steps, steps + 7, interval) != steps + 7; }

// Notes in the key count for it and notes outside count more against it;
// the tonic, fifth and third weigh a little extra.
float Score(const float* bins, Key key) {
    const int32_t* steps = ScaleSteps(key.minor);
    float score = 0.0f;
    for (int32_t j = 0; j < 12; ++j) score += InScale((j - key.root + 12) % 12, steps) ? bins[j] : -1.35f * bins[j];
    const int32_t third = key.minor ? 3 : 4;
    return score + 0.35f * bins[key.root] + 0.14f * bins[(key.root + 7) % 12] + 0.1f * bins[(key.root + third) % 12];
}

void Adopt(KeyDetector& k, Key key) {
    engine.harmonyKeyRoot.store(key.root, std::memory_order_relaxed);
    engine.harmonyKeyMinor.store(key.minor, std::memory_order_relaxed);
    k.pendingRepeats = 0;
}

void PublishStartKey() {
    engine.harmonyKeyRoot.store(0, std::memory_order_relaxed);
    engine.harmonyKeyMinor.store(false, std::memory_order_relaxed);
    engine.harmonyKeyConfidence.store(0.0f, std::memory_order_relaxed);
}

void DetectKey(KeyDetector& k) {
    float sum = 0.0f;
    for (const float b : k.histogram) sum += b;
    if (sum < 6.0f || k.count < 10) return;
    float scores[24];
    for (int32_t i = 0; i < 24; ++i) scores[i] = Score(k.histogram, {i % 12, i >= 12});
    const int32_t best = static_cast<int32_t>(std::max_element(scores, scores + 24) - scores);
    float second = -INFINITY;
    for (int32_t i = 0; i < 24; ++i) {
        if (i != best) second = std::max(second, scores[i]);
    }
    const float confidence = (scores[best] - second) / (std::fabs(scores[best]) + 0.0001f);
    engine.harmonyKeyConfidence.store(std::clamp(confidence, 0.0f, 1.0f), std::memory_order_relaxed);

    const Key candidate{best % 12, best >= 12};
    if (candidate.root != k.pendingRoot || candidate.minor != k.pendingMinor) {
        k.pendingRoot = candidate.root;
        k.pendingMinor = candidate.minor;
        k.pendingRepeats = 1;
    } else if (++k.pendingRepeats >= 4) {
        return Adopt(k, candidate);
    }
    if (k.count < 20) Adopt(k, candidate);
}
}  // namespace

void CountHeldNote(KeyDetector& k, float note) {
    if (++k.tick < kUpdateSamples) return;
    k.tick = 0;
    for (float& b : k.histogram) b *= kFade;
    k.histogram[(static_cast<int32_t>(std::lround(note)) % 12 + 12) % 12] += 1.0f;
    k.count = std::min(k.count + 1, kCountCap);
    DetectKey(k);
}

void ApplyKeyDetectorReset(KeyDetector& k) {
    if (!engine.keyResetPending.load(std::memory_order_relaxed)) return;
    if (!engine.keyResetPending.exchange(false, std::memory_order_acquire)) return;
    std::fill(std::begin(k.histogram), std::end(k.histogram), 0.0f);
    k.tick = 0;
    k.count = 0;
    k.pendingRepeats = 0;
    PublishStartKey();
}

void ResetKeyDetector() {
    engine.keyResetPending.store(true, std::memory_order_release);
    PublishStartKey();
}
