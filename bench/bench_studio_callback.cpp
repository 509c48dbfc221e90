// StudioCallback cost per block, and the real-time factor: how many times
// faster than the block's own duration it runs on this machine.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "engine/studio_callback.h"

namespace {
void StudioBlock(benchmark::State& state) {
    const auto frames = static_cast<unsigned>(state.range(0));
    InitEngine();
    engine.inputChannels = 2;
    engine.recorderActive = true;
    std::vector<float> in(2 * frames), out(2 * frames), beat(2 * frames);
    for (unsigned i = 0; i < 2 * frames; ++i) {
        in[i] = 0.3f * std::sin(0.05f * static_cast<float>(i));
        beat[i] = 0.3f * std::sin(0.01f * static_cast<float>(i));
    }
    for (auto _ : state) {
        // Keep the beat flowing and the record ring drained, as the pump and writer would.
        WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
        StudioCallback(out.data(), in.data(), frames, 0.0, 0, nullptr);
        engine.recordReadIndex.store(engine.recordWriteIndex.load());
        benchmark::DoNotOptimize(out.data());
    }
    const double blockSeconds = frames / 48000.0;
    state.counters["rt_factor"] = benchmark::Counter(blockSeconds * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(StudioBlock)->Arg(64)->Arg(128)->Arg(256)->Arg(1024);
}  // namespace

BENCHMARK_MAIN();
