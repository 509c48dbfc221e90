#include "engine/harmony.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/delay_line.h"
#include "engine/engine_params.h"
#include "engine/harmony_intervals.h"

namespace {
// Follows the sung note; with no note held the voices keep their last interval.
void Retarget(Harmony& h) {
    const float note = engine.detectedNote.load(std::memory_order_relaxed);
    if (note < 0.0f) return;
    CountHeldNote(h.key, note);
    const HarmonyIntervals i = IntervalsFor(note, engine.harmonyKeyRoot.load(std::memory_order_relaxed),
                                            engine.harmonyKeyMinor.load(std::memory_order_relaxed));
    h.low.targetRatio = std::exp2(static_cast<float>(i.low) / 12.0f);
    h.high.targetRatio = std::exp2(static_cast<float>(i.high) / 12.0f);
}
}  // namespace

void ClearHarmony(Harmony& h) {
    std::fill(std::begin(h.input), std::end(h.input), 0.0f);
    h.write = 0;
    h.low = {0.0f, 1.0f, 1.0f};
    h.high = {0.0f, 1.0f, 1.0f};
    h.smoothLow = h.smoothHigh = 0.0f;
    std::fill(std::begin(h.delayLow), std::end(h.delayLow), 0.0f);
    std::fill(std::begin(h.delayHigh), std::end(h.delayHigh), 0.0f);
    h.indexLow = h.indexHigh = 0;
}

HarmonyVoices ProcessHarmony(float s) {
    Harmony& h = engine.harmony;
    ApplyKeyDetectorReset(h.key);
    Retarget(h);
    h.input[h.write] = s;
    h.low.ratio += (h.low.targetRatio - h.low.ratio) * 0.0025f;
    h.high.ratio += (h.high.targetRatio - h.high.ratio) * 0.0025f;
    const float low = ProcessGrain(h.low, h.input, h.write);
    const float high = ProcessGrain(h.high, h.input, h.write);
    h.write = (h.write + 1) & kHarmonyRingMask;
    h.smoothLow += (low - h.smoothLow) * 0.28f;
    h.smoothHigh += (high - h.smoothHigh) * 0.28f;
    const float level = engine.harmonyVolume.load(std::memory_order_relaxed) / 100.0f;
    return {StepDelay(h.delayLow, h.indexLow, kHarmonyDelayLow, h.smoothLow) * level * 0.82f,
            StepDelay(h.delayHigh, h.indexHigh, kHarmonyDelayHigh, h.smoothHigh) * level * 0.62f};
}
