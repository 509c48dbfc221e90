#pragma once
// Every engine test starts from the engine's start-up state.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/record_ring.h"
#include "engine/studio_callback.h"

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { InitEngine(); }
};

// Every user stage and effect return, set by an amount from 0 to 1.
inline void SetAirAmount(float amount) { SetVocalAir(48000.0f, 10.0f * amount); }
inline constexpr void (*kAmounts[])(float) = {SetVocalBalance,  SetVocalBody,   SetVocalOpto,
                                              SetVocalBodyPlus, SetVocalSmooth, SetVocalWarmth,
                                              SetAirAmount,     SetReverbLevel, SetEchoLevel};

// One block through the callback; input may be empty (a null pointer). Returns the stereo output.
inline std::vector<float> RunBlock(const std::vector<float>& input, unsigned nFrames, unsigned status = 0) {
    std::vector<float> out(2 * nFrames, 99.0f);
    StudioCallback(out.data(), input.empty() ? nullptr : const_cast<float*>(input.data()), nFrames, 0.0, status,
                   nullptr);
    return out;
}

inline std::vector<float> ConstantInput(unsigned nFrames, std::vector<float> channelValues) {
    std::vector<float> in;
    for (unsigned i = 0; i < nFrames; ++i) in.insert(in.end(), channelValues.begin(), channelValues.end());
    return in;
}

// A mono microphone through the callback in 256-frame blocks; beforeBlock(b) may flip switches.
inline std::vector<float> Play(const std::vector<float>& mic, const std::function<void(size_t)>& beforeBlock = {}) {
    engine.inputChannels = 1;
    std::vector<float> out;
    for (size_t b = 0; b * 256 < mic.size(); ++b) {
        if (beforeBlock) beforeBlock(b);
        const std::vector<float> y = RunBlock({mic.begin() + b * 256, mic.begin() + (b + 1) * 256}, 256);
        out.insert(out.end(), y.begin(), y.end());
    }
    return out;
}

inline void FeedBeat(unsigned frames, float left, float right) {
    const std::vector<float> beat = ConstantInput(frames, {left, right});
    WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
}

inline std::vector<int16_t> DrainRecord() {
    std::vector<int16_t> out(EngineParams::recordRingSize);
    out.resize(ReadRecordRing(out.data(), out.size()));
    return out;
}
