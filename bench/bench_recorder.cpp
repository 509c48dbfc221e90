// The recorder: the tap's cost per audio block (it runs in the callback),
// the writer's throughput to a file on the disk of the working directory,
// and the writer thread's CPU use while a take is recorded in real time.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/thread_cpu.h"
#include "engine/engine_params.h"
#include "engine/record_ring.h"
#include "recording/recorder.h"

namespace {
std::string scratch;

const std::string& ScratchFolder() {
    if (scratch.empty()) {
        scratch = (std::filesystem::current_path() / "bench-takes-XXXXXX").string();
        if (mkdtemp(scratch.data()) == nullptr) std::abort();
        std::atexit([] { std::filesystem::remove_all(scratch); });
    }
    return scratch;
}

void BM_RecorderTap(benchmark::State& state) {
    InitEngine();
    engine.recorderActive = true;
    const int frames = static_cast<int>(state.range(0));
    float level = 0.1f;
    for (auto _ : state) {
        for (int i = 0; i < frames; ++i) PushRecorderFrame(level, -level);
        engine.recordReadIndex.store(engine.recordWriteIndex.load());  // a writer that keeps up
        level = -level;
    }
    engine.recorderActive = false;
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_RecorderTap)->Arg(64)->Arg(128)->Arg(1024)->Repetitions(5)->ReportAggregatesOnly(true);

// Ten seconds of audio per take, pushed as fast as the ring takes them.
void BM_WriterThroughput(benchmark::State& state) {
    InitEngine();
    constexpr int kFrames = 480000;
    for (auto _ : state) {
        if (!StartRecording(0, ScratchFolder(), "Bench")) state.SkipWithError("cannot record");
        for (int i = 0; i < kFrames; ++i) {
            while (engine.recordWriteIndex.load() - engine.recordReadIndex.load() + 2 > EngineParams::recordRingSize) {
                std::this_thread::yield();
            }
            PushRecorderFrame(0.25f, -0.25f);
        }
        if (!StopRecording()) state.SkipWithError(RecordingFailReason().c_str());
        std::filesystem::remove(recorder.lastSavedPath);
    }
    state.SetBytesProcessed(state.iterations() * kFrames * 4);
}
BENCHMARK(BM_WriterThroughput)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// 128-frame blocks at the sound card's pace for 10 s; the counter is the
// writer thread's share of one core.
void BM_WriterCpuAtRealTime(benchmark::State& state) {
    InitEngine();
    constexpr int kBlock = 128;
    constexpr int kBlocks = 10 * 48000 / kBlock;
    for (auto _ : state) {
        if (!StartRecording(0, ScratchFolder(), "Bench")) state.SkipWithError("cannot record");
        const auto start = std::chrono::steady_clock::now();
        for (int b = 0; b < kBlocks; ++b) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t{b} * kBlock * 1000000 / 48000));
            for (int i = 0; i < kBlock; ++i) PushRecorderFrame(0.25f, -0.25f);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["writer_cpu_percent"] = 100.0 * ThreadCpuSeconds(recorder.writerThread) / wall;
        if (!StopRecording()) state.SkipWithError(RecordingFailReason().c_str());
        std::filesystem::remove(recorder.lastSavedPath);
    }
}
BENCHMARK(BM_WriterCpuAtRealTime)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}  // namespace
