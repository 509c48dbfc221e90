// The Mini output's render thread while it plays, on the real sound server
// (PULSE_SERVER, or the user's own): its CPU share of one core over 10 s,
// fed by a producer that writes the beat ring as the pump would.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "bench/thread_cpu.h"
#include "devices/mini_output.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"

namespace {
void BM_MiniRenderThreadCpu(benchmark::State& state) {
    const bool bluetooth = state.range(0) == 1;
    InitEngine();
    SetBeatPrefill(bluetooth ? 4800 : 1920);
    std::vector<float> beat(1600, 0.1f);  // one UI frame
    for (auto _ : state) {
        if (!OpenMiniOutput("", bluetooth)) {
            state.SkipWithError("no output to play on: start a sound server (scripts/pulse_test_server.sh)");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < 600; ++frame) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(frame * 16667));
            WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
            TrimBeatRing(19200);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["render_cpu_percent"] = 100.0 * ThreadCpuSeconds(miniOutput.thread) / wall;
        state.counters["silent_passes"] = static_cast<double>(miniOutput.silentPasses.load());
        StopMiniOutput();
    }
}
BENCHMARK(BM_MiniRenderThreadCpu)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}  // namespace
