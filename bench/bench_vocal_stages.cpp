// Cost of each vocal stage alone, per block of 64 frames of live voice, so
// the callback's budget can be traced to the stage that spends it.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/denormals.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/tone_chain.h"

namespace {
constexpr unsigned kFrames = 64;

// A voiced vowel with some sibilance riding on it, loud enough to engage
// every dynamics stage.
std::vector<float> LiveVoice() {
    std::vector<float> v(kFrames * 750);  // one second, cycled
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        v[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t) + 0.15 * std::sin(2 * M_PI * 660 * t) +
                                  0.08 * std::sin(2 * M_PI * 7000 * t));
    }
    return v;
}

template <typename Stage>
void RunStageBench(benchmark::State& state, Stage stage) {
    InitEngine();
    SetVocalOpto(0.5f);  // the default leaves the opto stage off
    const std::vector<float> voice = LiveVoice();
    ScopedDenormalFlush flush;
    size_t at = 0;
    for (auto _ : state) {
        float acc = 0.0f;
        for (unsigned i = 0; i < kFrames; ++i) acc += stage(voice[at + i]);
        at = (at + kFrames) % voice.size();
        benchmark::DoNotOptimize(acc);
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void MicHighPass(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessBiquad(engine.micHighPass, x); }); }
void PreLevelerStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessPreLeveler(engine.preLeveler, x); }); }
void BalanceStage(benchmark::State& s) {
    RunStageBench(s, [](float x) {
        const BalanceSettings b{engine.balanceAmount, engine.balanceThresholdDb, engine.balanceRatio, engine.balanceMakeup};
        return ProcessBalanceCompressor(engine.balance, b, x);
    });
}
void BodyEqStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessBodyEq(engine.bodyEq, x); }); }
void OptoStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessOptoLeveler(engine.opto, 0.5f, x); }); }
void BodyPlusStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessBodyPlus(engine.bodyPlus, 0.38f, x); }); }
void DeEsserStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessDeEsser(engine.deEsser, 0.55f, x); }); }
void WarmthStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessWarmth(engine.warmth, 0.45f, x); }); }
void AirStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessAirEq(engine.air, 2.8f, x); }); }
void ToneChain(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessToneChain(x); }); }
void ReverbStage(benchmark::State& s) {
    RunStageBench(s, [](float x) { return ProcessReverb(engine.reverb, 0.18f, x).left; });
}
void EchoStage(benchmark::State& s) { RunStageBench(s, [](float x) { return ProcessEcho(engine.echo, 0.08f, x).left; }); }

BENCHMARK(MicHighPass);
BENCHMARK(PreLevelerStage);
BENCHMARK(BalanceStage);
BENCHMARK(BodyEqStage);
BENCHMARK(OptoStage);
BENCHMARK(BodyPlusStage);
BENCHMARK(DeEsserStage);
BENCHMARK(WarmthStage);
BENCHMARK(AirStage);
BENCHMARK(ToneChain);
BENCHMARK(ReverbStage);
BENCHMARK(EchoStage);
}  // namespace
