#pragma once
// A Studio stream as the benchmarks run it: the callback fed block by
// block, with the beat pump and the WAV writer keeping up.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/studio_callback.h"

struct Stream {
    unsigned frames;
    std::vector<float> in, out, beat;
};

// Every stage engaged: the defaults plus the opto, which starts off.
inline Stream OpenStream(unsigned frames) {
    InitEngine();
    SetVocalOpto(0.5f);
    engine.inputChannels = 2;
    engine.recorderActive = true;
    Stream s{frames, std::vector<float>(2 * frames), std::vector<float>(2 * frames), std::vector<float>(2 * frames)};
    for (unsigned i = 0; i < 2 * frames; ++i) s.beat[i] = 0.3f * std::sin(0.01f * static_cast<float>(i));
    return s;
}

// One block as the stream would run it, with the beat pump and the WAV
// writer keeping up.
inline void RunStreamBlock(Stream& s) {
    WriteBeatRing(s.beat.data(), static_cast<int64_t>(s.beat.size()));
    StudioCallback(s.out.data(), s.in.data(), s.frames, 0.0, 0, nullptr);
    engine.recordReadIndex.store(engine.recordWriteIndex.load());
}

inline void ReportRealTime(benchmark::State& state, unsigned frames) {
    const double blockSeconds = frames / 48000.0;
    state.counters["rt_factor"] =
        benchmark::Counter(blockSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

