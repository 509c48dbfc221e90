// Cost of the pitch stages: the auto-tune block with and without its
// detection, the splice start with its alignment search, the harmony step,
// and the whole callback with everything on, including its worst block (the
// one that runs the detection and starts a splice).

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_stream.h"
#include "engine/auto_tune.h"
#include "engine/denormals.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/harmony.h"
#include "tools/synth/singing.h"

namespace {
constexpr unsigned kFrames = 64;

// Two seconds of a sung vowel 30 cents flat of A3 (or of E2, the lowest
// voice, whose splices search the widest), with vibrato: voiced, corrected,
// and splicing now and then.
std::vector<float> SingFlat(double note) {
    Voice v = SteadyVoice(HzOfNote(note - 0.3));
    v.vibratoHz = 5.5;
    v.vibratoCents = 30.0;
    return Sing(v, 2 * 48000);
}
const std::vector<float>& SungTake(bool low = false) {
    static const std::vector<float> a3 = SingFlat(57.0), e2 = SingFlat(40.0);
    return low ? e2 : a3;
}

// Runs the take through the auto-tune until it is locked and correcting.
void LockOnVoice(std::vector<float>& out) {
    InitEngine();
    SetTuneMode(2);
    const std::vector<float>& take = SungTake();
    out.resize(kFrames);
    for (size_t at = 0; at + kFrames <= 48000; at += kFrames) ProcessAutoTune(take.data() + at, out.data(), kFrames);
}

void ReportPerBlock(benchmark::State& state) {
    state.counters["block_share_pct"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (kFrames / 48000.0) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void AutoTuneBlock(benchmark::State& state, int32_t counterBefore) {
    ScopedDenormalFlush flush;
    std::vector<float> out;
    LockOnVoice(out);
    const std::vector<float>& take = SungTake();
    size_t at = 48000;
    for (auto _ : state) {
        engine.autoTune.blockCounter = counterBefore;
        engine.autoTune.sinceDetection = 0;
        ProcessAutoTune(take.data() + at, out.data(), kFrames);
        at = at + 2 * kFrames <= take.size() ? at + kFrames : 48000;
        benchmark::DoNotOptimize(out.data());
    }
    ReportPerBlock(state);
}
void AutoTuneAnalysisBlock(benchmark::State& s) { AutoTuneBlock(s, 3); }
void AutoTunePlainBlock(benchmark::State& s) { AutoTuneBlock(s, 0); }
BENCHMARK(AutoTuneAnalysisBlock);
BENCHMARK(AutoTunePlainBlock);

// One sample that starts a forward splice at the longest alignment reach
// (half the longest period either way).
void SpliceStart(benchmark::State& state) {
    ScopedDenormalFlush flush;
    std::vector<float> out;
    LockOnVoice(out);
    SpliceShifter& s = engine.autoTune.shifter;
    for (auto _ : state) {
        s.splicing = false;
        s.delay = 400.0f;
        s.ratio = 1.05f;
        benchmark::DoNotOptimize(ProcessSpliceShifter(s, 0.1f, 1.05f, 1.05f, 0.032f, 550.0f, false));
    }
}
BENCHMARK(SpliceStart);

void HarmonyStep(benchmark::State& state) {
    InitEngine();
    engine.detectedNote = 57.0f;
    const std::vector<float>& take = SungTake();
    ScopedDenormalFlush flush;
    size_t at = 0;
    for (auto _ : state) {
        float acc = 0.0f;
        for (unsigned i = 0; i < kFrames; ++i) {
            const HarmonyVoices h = ProcessHarmony(take[at + i]);
            acc += h.low + h.high;
        }
        at = at + 2 * kFrames <= take.size() ? at + kFrames : 0;
        benchmark::DoNotOptimize(acc);
    }
    state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(HarmonyStep);

// The whole callback on the sung take: tone chain, auto-tune, harmony,
// reverb, echo and master. With `worst`, the lowest voice is sung, and every
// block runs the detection and starts a splice on its first sample.
void StudioEverythingOn(benchmark::State& state, bool worst) {
    Stream s = OpenStream(kFrames);
    engine.harmonyEnabled = true;
    SetTuneMode(2);
    const std::vector<float>& take = SungTake(worst);
    size_t at = 0;
    auto feed = [&] {
        for (unsigned i = 0; i < kFrames; ++i) s.in[2 * i] = s.in[2 * i + 1] = take[at + i];
        at = at + 2 * kFrames <= take.size() ? at + kFrames : 0;
    };
    for (int b = 0; b < 750; ++b) feed(), RunStreamBlock(s);
    for (auto _ : state) {
        feed();
        if (worst) {
            engine.autoTune.blockCounter = 3;
            engine.autoTune.shifter.splicing = false;
            engine.autoTune.shifter.delay = 400.0f;
            engine.autoTune.shifter.ratio = 1.05f;
        }
        RunStreamBlock(s);
        benchmark::DoNotOptimize(s.out.data());
    }
    ReportRealTime(state, kFrames);
    ReportPerBlock(state);
}
void StudioBlockEverythingOn(benchmark::State& s) { StudioEverythingOn(s, false); }
void StudioBlockWorstCase(benchmark::State& s) { StudioEverythingOn(s, true); }
BENCHMARK(StudioBlockEverythingOn);
BENCHMARK(StudioBlockWorstCase);
}  // namespace
