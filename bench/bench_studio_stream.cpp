// The Studio callback on the real drivers: the share of each block's period
// it takes (mean and worst over the run), and the Direct Mic Bridge
// thread's CPU while it feeds the callback. Needs a sound server
// (scripts/pulse_test_server.sh); the JACK rows need a JACK server
// (scripts/jack_test_server.sh). SONAVELA_BENCH_SECONDS sets the run (60).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/thread_cpu.h"
#include "devices/mic_bridge.h"
#include "engine/engine_params.h"
#include "engine/studio_callback.h"
#include "platform/studio_driver.h"

namespace {
std::atomic<uint64_t> blocks{0};
std::atomic<uint64_t> busyNanos{0};
std::atomic<uint64_t> worstNanos{0};
std::atomic<uint64_t> worstCpuNanos{0};

uint64_t ThreadCpuNanos() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

void KeepWorst(std::atomic<uint64_t>& worst, uint64_t value) {
    if (value > worst.load(std::memory_order_relaxed)) worst.store(value, std::memory_order_relaxed);
}

int TimedCallback(void* output, void* input, unsigned int frames, double time, unsigned int status, void* user) {
    const auto start = std::chrono::steady_clock::now();
    const uint64_t cpuStart = ThreadCpuNanos();
    StudioCallback(output, input, frames, time, status, user);
    KeepWorst(worstCpuNanos, ThreadCpuNanos() - cpuStart);
    const auto spent = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
    busyNanos.fetch_add(spent, std::memory_order_relaxed);
    KeepWorst(worstNanos, spent);
    blocks.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int Seconds() {
    const char* text = std::getenv("SONAVELA_BENCH_SECONDS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 60;
}

bool FindDriver(const std::string& name, uint32_t& id, DriverInfo& info) {
    std::vector<uint32_t> ids;
    std::string reason;
    if (!DriverHostExists() && !CreateDriverHost(reason)) return false;
    if (!ListDriverIds(ids, reason)) return false;
    for (uint32_t candidate : ids) {
        if (GetDriverInfo(candidate, info, reason) && info.name == name && info.outputChannels >= 2) {
            id = candidate;
            return true;
        }
    }
    return false;
}

// Runs the Studio stream on `driver` for the run's length; the bridge feeds it when asked.
void RunStudio(benchmark::State& state, const std::string& driver, uint32_t frames, bool bridge) {
    InitEngine();
    uint32_t id = 0;
    DriverInfo info;
    if (!FindDriver(driver, id, info)) {
        state.SkipWithError(("no driver named " + driver).c_str());
        return;
    }
    if (bridge && !OpenMicBridge("USB_Mic")) {
        state.SkipWithError("no test microphone to bridge");
        return;
    }
    engine.micBridgeEnabled = bridge;
    engine.micBridgeRunning = bridge;
    const bool duplex = info.inputChannels >= 2 && !bridge;
    engine.inputChannels = duplex ? 2 : 0;
    const DriverChannels output{id, 2, 0};
    const DriverChannels input{id, 2, 0};
    std::string reason;
    for (auto _ : state) {
        blocks = busyNanos = worstNanos = worstCpuNanos = 0;
        if (!OpenDriverStream(output, duplex ? &input : nullptr, 48000, frames, TimedCallback, reason) ||
            !StartDriverStream(reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const uint64_t firstWorst = worstNanos.exchange(0);
        worstCpuNanos = 0;
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(Seconds()));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        CloseDriverStream();
        const double period = 1e9 * frames / 48000.0;
        state.counters["blocks"] = static_cast<double>(blocks.load());
        state.counters["mean_percent_of_period"] = 100.0 * static_cast<double>(busyNanos.load()) /
                                                   std::max<double>(1.0, static_cast<double>(blocks.load())) / period;
        state.counters["worst_percent_of_period"] = 100.0 * static_cast<double>(worstNanos.load()) / period;
        // Wall time includes the moments the callback's thread was not scheduled; CPU time is the work alone.
        state.counters["worst_cpu_percent_of_period"] = 100.0 * static_cast<double>(worstCpuNanos.load()) / period;
        state.counters["first_half_second_worst_percent"] = 100.0 * static_cast<double>(firstWorst) / period;
        if (bridge) {
            state.counters["bridge_cpu_percent"] = 100.0 * ThreadCpuSeconds(micBridge.thread) / wall;
            state.counters["bridge_underruns"] = static_cast<double>(engine.bridgeUnderruns.load());
        }
    }
    StopMicBridge();
    DestroyDriverHost();
}

void BM_StudioOnTheSoundServer(benchmark::State& state) {
    RunStudio(state, "Speakers (High Definition Audio)", static_cast<uint32_t>(state.range(0)), state.range(1) == 1);
}
BENCHMARK(BM_StudioOnTheSoundServer)->Args({128, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_StudioOnJack(benchmark::State& state) {
    RunStudio(state, "system", static_cast<uint32_t>(state.range(0)), false);
}
BENCHMARK(BM_StudioOnJack)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}  // namespace
