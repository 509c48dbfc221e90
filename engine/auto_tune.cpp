#include "engine/auto_tune.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_params.h"
#include "engine/tune_styles.h"

namespace {
constexpr int32_t kHoldDetections = 16;

// A jump of an octave from the last pitch is far more often the detector
// locking on a harmonic or a subharmonic than the singer leaping.
float GuardOctave(float previous, float f) {
    if (previous <= 65.0f) return f;
    if (f > 1.85f * previous && f < 2.15f * previous) return f / 2.0f;
    if (f > 0.45f * previous && f < 0.55f * previous) return 2.0f * f;
    return f;
}

// The tuner may snap to any pitch class; nothing narrows the scale.
constexpr int32_t kChromatic[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

void Voiced(AutoTune& t, float f) {
    const float note = 12.0f * std::log2(f / 440.0f) + 69.0f;
    engine.detectedNote.store(note, std::memory_order_relaxed);
    t.period = static_cast<float>(EngineParams::sampleRate) / f;
    const float shift = CorrectionSemitones(engine.tuneMode.load(std::memory_order_relaxed), note, t.targetNote,
                                            kChromatic, 0);
    t.targetRatio = std::clamp(std::exp2(shift / 12.0f), 0.94f, 1.06f);
    t.hold = kHoldDetections;
}

// The last correction stays while the pitch is briefly lost (a consonant,
// a breath); after that the voice is let go.
void Unvoiced(AutoTune& t) {
    if (t.hold > 0) {
        --t.hold;
        return;
    }
    t.targetRatio = 1.0f;
    t.targetNote = -1.0f;
    t.previousFrequency = 0.0f;
    engine.detectedNote.store(-1.0f, std::memory_order_relaxed);
}

void Detect(AutoTune& t) {
    const PitchEstimate e = EstimatePitch(t.history);
    if (e.periodic) {
        const float f = GuardOctave(t.previousFrequency, e.frequency);
        t.previousFrequency = f;
        if (f > 65.0f && e.confidence > 0.5f) return Voiced(t, f);
    }
    Unvoiced(t);
}

// The delay settles back only once the pitch is let go: the hold runs out
// one detection before the correction is released.
void Shift(AutoTune& t, const float* in, float* out, uint32_t nFrames) {
    const float rate = engine.retuneRate.load(std::memory_order_relaxed);
    const bool released = engine.detectedNote.load(std::memory_order_relaxed) < 0.0f;
    for (uint32_t i = 0; i < nFrames; ++i) {
        t.ratio += (t.targetRatio - t.ratio) * rate;
        out[i] = ProcessSpliceShifter(t.shifter, in[i], t.ratio, t.period, released);
    }
}
}  // namespace

void ClearAutoTune(AutoTune& t) {
    ClearPitchHistory(t.history);
    ClearSpliceShifter(t.shifter);
    t.blockCounter = 0;
    t.previousFrequency = 0.0f;
    t.targetNote = -1.0f;
    t.targetRatio = 1.0f;
    t.ratio = 1.0f;
    t.period = 240.0f;
    t.hold = 0;
}

void ProcessAutoTune(const float* in, float* out, uint32_t nFrames) {
    AutoTune& t = engine.autoTune;
    AppendPitchHistory(t.history, in, nFrames);
    if (++t.blockCounter >= 4) {
        t.blockCounter = 0;
        Detect(t);
    }
    if (engine.tuneEnabled.load(std::memory_order_relaxed)) {
        Shift(t, in, out, nFrames);
    } else {
        std::copy_n(in, nFrames, out);
    }
}
