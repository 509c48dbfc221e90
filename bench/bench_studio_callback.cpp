// StudioCallback cost per block with the whole vocal chain, and the
// real-time factor: how many times faster than the block's own duration it
// runs on this machine. The silence cases show that a decaying tail costs
// no more than live signal (denormals are flushed on the audio thread).

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench/bench_stream.h"
#include "engine/engine_params.h"
#include "engine/vocal_bus.h"

namespace {
// A second of loud noise, then ten seconds of silence: the tails have decayed
// far into the range where unflushed floats turn subnormal.
void BurstThenSilence(Stream& s) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.9f, 0.9f);
    for (int b = 0; b < static_cast<int>(48000 / s.frames); ++b) {
        for (float& x : s.in) x = noise(rng);
        RunStreamBlock(s);
    }
    std::fill(s.in.begin(), s.in.end(), 0.0f);
    for (int b = 0; b < static_cast<int>(480000 / s.frames); ++b) RunStreamBlock(s);
}

void StudioBlock(benchmark::State& state) {
    Stream s = OpenStream(static_cast<unsigned>(state.range(0)));
    for (unsigned i = 0; i < 2 * s.frames; ++i) s.in[i] = 0.3f * std::sin(0.05f * static_cast<float>(i));
    for (auto _ : state) {
        RunStreamBlock(s);
        benchmark::DoNotOptimize(s.out.data());
    }
    ReportRealTime(state, s.frames);
}
BENCHMARK(StudioBlock)->Arg(64)->Arg(128)->Arg(256)->Arg(1024);

void StudioBlockAfterSilence(benchmark::State& state) {
    Stream s = OpenStream(static_cast<unsigned>(state.range(0)));
    BurstThenSilence(s);
    for (auto _ : state) {
        RunStreamBlock(s);
        benchmark::DoNotOptimize(s.out.data());
    }
    ReportRealTime(state, s.frames);
}
BENCHMARK(StudioBlockAfterSilence)->Arg(64);

// For contrast: the same tail processed without flushing, as any other
// thread would run it. This is what the callback is protected from.
void VocalTailWithoutFlush(benchmark::State& state) {
    Stream s = OpenStream(64);
    BurstThenSilence(s);
    for (auto _ : state) {
        float acc = 0.0f;
        for (unsigned i = 0; i < 64; ++i) acc += MixVocal(ProcessVocalVoices(0.0f), 1.0f).left;
        benchmark::DoNotOptimize(acc);
    }
    ReportRealTime(state, 64);
}
BENCHMARK(VocalTailWithoutFlush);
}  // namespace

BENCHMARK_MAIN();
