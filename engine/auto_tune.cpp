#include "engine/auto_tune.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_params.h"
#include "engine/tune_styles.h"

namespace {
constexpr int32_t kHoldDetections = 16;
// Every fourth block, and within big blocks every 512 samples: beyond
// that, the pitch read between two detections misses a vibrato's turns.
constexpr uint32_t kLongestDetectionGap = 512;

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

int32_t Older(int32_t i) { return (i + kTuneDetections - 1) % kTuneDetections; }
int32_t Newer(int32_t i) { return (i + 1) % kTuneDetections; }

// Stamps stay in order even when the lag jumps between close detections.
void Remember(AutoTune& t, int64_t time, float note) {
    if (t.count > 0) time = std::max(time, t.detections[t.newest].time + 1);
    t.newest = Newer(t.newest);
    t.detections[t.newest] = {time, note};
    t.count = std::min(t.count + 1, kTuneDetections);
}

void Voiced(AutoTune& t, float f, float heardBehind) {
    const float note = 12.0f * std::log2(f / 440.0f) + 69.0f;
    engine.detectedNote.store(note, std::memory_order_relaxed);
    t.period = static_cast<float>(EngineParams::sampleRate) / f;
    t.heardBehind = heardBehind;
    Remember(t, t.clock - static_cast<int64_t>(heardBehind), note);
    t.hold = kHoldDetections;
}

// The last correction stays while the pitch is briefly lost (a consonant,
// a breath); after that the voice is let go.
void Unvoiced(AutoTune& t) {
    if (t.hold > 0) {
        --t.hold;
        return;
    }
    if (engine.detectedNote.load(std::memory_order_relaxed) >= 0.0f)
        Remember(t, t.clock - static_cast<int64_t>(t.heardBehind), -1.0f);
    t.previousFrequency = 0.0f;
    engine.detectedNote.store(-1.0f, std::memory_order_relaxed);
}

void Detect(AutoTune& t) {
    const PitchEstimate e = EstimatePitch(t.history);
    if (e.periodic) {
        const float f = GuardOctave(t.previousFrequency, e.frequency);
        t.previousFrequency = f;
        if (f > 65.0f && e.confidence > 0.5f) return Voiced(t, f, e.heardBehind);
    }
    Unvoiced(t);
}

// The pitch ratio wanted for audio sung at `note`, in the current style.
float RatioFor(AutoTune& t, float note) {
    if (note < 0.0f) {
        t.targetNote = -1.0f;
        return 1.0f;
    }
    const float shift =
        CorrectionSemitones(engine.tuneMode.load(std::memory_order_relaxed), note, t.targetNote, kChromatic, 0);
    return std::clamp(std::exp2(shift / 12.0f), 0.94f, 1.06f);
}

// Each read is corrected for the pitch sung where it reads, not for the
// newest detection: the two differ by up to 70 ms of vibrato. The wanted
// ratios are looked up every 16 samples (a third of a cent of vibrato) and
// whenever a splice starts or ends. The delay settles back only once the
// pitch is let go: the hold runs out one detection before the correction
// is released.
void Shift(AutoTune& t, const float* in, float* out, uint32_t nFrames) {
    const float rate = engine.retuneRate.load(std::memory_order_relaxed);
    const bool released = engine.detectedNote.load(std::memory_order_relaxed) < 0.0f;
    SpliceShifter& s = t.shifter;
    const auto first = static_cast<double>(t.clock - nFrames);
    float spliceTarget = 1.0f;
    bool looked = false;
    for (uint32_t i = 0; i < nFrames; ++i) {
        if (i % 16 == 0 || looked != s.splicing) {
            const double now = first + i;
            t.targetRatio = RatioFor(t, NoteAt(t, now - s.delay));
            spliceTarget = s.splicing ? RatioFor(t, NoteAt(t, now - s.spliceDelay)) : t.targetRatio;
            looked = s.splicing;
        }
        out[i] = ProcessSpliceShifter(s, in[i], t.targetRatio, spliceTarget, rate, t.period, released);
    }
}
}  // namespace

void ClearAutoTune(AutoTune& t) {
    ClearPitchHistory(t.history);
    ClearSpliceShifter(t.shifter);
    t.newest = 0;
    t.count = 0;
    t.clock = 0;
    t.blockCounter = 0;
    t.sinceDetection = 0;
    t.previousFrequency = 0.0f;
    t.targetNote = -1.0f;
    t.targetRatio = 1.0f;
    t.period = 240.0f;
    t.heardBehind = 0.0f;
    t.hold = 0;
}

void ProcessAutoTune(const float* in, float* out, uint32_t nFrames) {
    AutoTune& t = engine.autoTune;
    const bool last = ++t.blockCounter >= 4;
    for (uint32_t done = 0; done < nFrames;) {
        const uint32_t n = std::min(nFrames - done, kLongestDetectionGap - t.sinceDetection);
        AppendPitchHistory(t.history, in + done, n);
        t.clock += n;
        t.sinceDetection += n;
        if (t.sinceDetection >= kLongestDetectionGap || (last && done + n == nFrames)) {
            t.blockCounter = 0;
            t.sinceDetection = 0;
            Detect(t);
        }
        if (engine.tuneEnabled.load(std::memory_order_relaxed)) {
            Shift(t, in + done, out + done, n);
        } else {
            std::copy_n(in + done, n, out + done);
        }
        done += n;
    }
}

float NoteAt(const AutoTune& t, double time) {
    if (t.count == 0) return -1.0f;
    int32_t i = t.newest;
    for (int32_t seen = 1; seen < t.count; ++seen) {
        if (static_cast<double>(t.detections[i].time) <= time) break;
        i = Older(i);
    }
    const TuneDetection& at = t.detections[i];
    const auto since = time - static_cast<double>(at.time);
    if (since < 0.0) return at.note;  // older than anything remembered
    if (i != t.newest) {
        const TuneDetection& next = t.detections[Newer(i)];
        if (at.note < 0.0f) return next.note;  // the voice starts between them
        if (next.note < 0.0f) return at.note;
        return at.note + (next.note - at.note) * static_cast<float>(since / static_cast<double>(next.time - at.time));
    }
    // Past the newest detection the pitch goes on along its last slope for
    // at most one detection interval, then holds.
    const TuneDetection& before = t.detections[Older(i)];
    if (t.count < 2 || at.note < 0.0f || before.note < 0.0f) return at.note;
    const auto span = static_cast<double>(at.time - before.time);
    return at.note + (at.note - before.note) * static_cast<float>(std::min(since, span) / span);
}
