// The beat pump as its thread runs it, one call every 5 ms bringing 240
// frames of beat through the 40 Hz high-pass and the key shifter (+2
// semitones) into the ring, beside one call per 60 Hz frame (800 frames) as
// a window's thread would; and the shifter alone on the same audio, for its
// share. Each call's audio arrives as one capture packet, real in shape:
// chords with a bass line and noise, at karaoke levels.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "devices/beat_capture.h"
#include "devices/player_mode.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"

namespace {
constexpr uint32_t kFramesPerPump = 240;     // 5 ms
constexpr uint32_t kFramesPerUiFrame = 800;  // 48000 / 60

std::vector<float> Song(uint32_t frames) {
    std::vector<float> v(2 * static_cast<size_t>(frames));
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    const double chord[] = {261.63, 329.63, 392.0, 65.41};
    for (uint32_t i = 0; i < frames; ++i) {
        double s = 0.0;
        for (double hz : chord) s += 0.12 * std::sin(2.0 * M_PI * hz * i / 48000.0);
        v[2 * i] = static_cast<float>(s) + noise(random);
        v[2 * i + 1] = static_cast<float>(s * 0.9) + noise(random);
    }
    return v;
}

void PrepareBeatRoad() {
    InitEngine();
    InitBeatCapture();
    SetBeatTone(2.0f);
    miniPlayerActive = false;
}

// Seconds of beat handled per second of CPU: 100 / x_real_time is the percent of one core.
void ReportShareOfRealTime(benchmark::State& state, uint32_t framesPerCall) {
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(framesPerCall) / 48000.0, benchmark::Counter::kIsIterationInvariantRate);
}

// The argument: frames per call.
void BM_PumpBeat(benchmark::State& state) {
    const auto frames = static_cast<uint32_t>(state.range(0));
    const std::vector<float> song = Song(48000 * 10);
    PrepareBeatRoad();
    size_t at = 0;
    for (auto _ : state) {
        PumpBeatPacket(song.data() + at, frames);
        at = (at + 2 * frames) % (song.size() - 2 * frames);
    }
    ReportShareOfRealTime(state, frames);
}
BENCHMARK(BM_PumpBeat)
    ->Arg(kFramesPerPump)
    ->Arg(kFramesPerUiFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ShifterAlonePerUiFrame(benchmark::State& state) {
    const std::vector<float> song = Song(48000 * 10);
    PrepareBeatRoad();
    std::vector<float> out(2 * 512);
    size_t at = 0;
    for (auto _ : state) {
        PutBeatFrames(song.data() + at, kFramesPerUiFrame);
        while (ReceiveBeatFrames(out.data(), 512) > 0) {
        }
        at = (at + 2 * kFramesPerUiFrame) % (song.size() - 2 * kFramesPerUiFrame);
    }
    ReportShareOfRealTime(state, kFramesPerUiFrame);
}
BENCHMARK(BM_ShifterAlonePerUiFrame)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);
}  // namespace
