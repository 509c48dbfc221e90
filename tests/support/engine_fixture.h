#pragma once
// Every engine test starts from the state the program has right after
// start-up, with the engine's own defaults.

#include <gtest/gtest.h>

#include <vector>

#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/studio_callback.h"

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { InitEngine(); }
};

// Runs one block; returns the stereo output. input may be empty (null pointer).
inline std::vector<float> RunBlock(const std::vector<float>& input, unsigned nFrames, unsigned status = 0) {
    std::vector<float> out(2 * nFrames, 99.0f);
    StudioCallback(out.data(), input.empty() ? nullptr : const_cast<float*>(input.data()), nFrames, 0.0, status,
                   nullptr);
    return out;
}

// Interleaves per-channel constant values into an input block.
inline std::vector<float> ConstantInput(unsigned nFrames, std::vector<float> channelValues) {
    std::vector<float> in;
    for (unsigned i = 0; i < nFrames; ++i) in.insert(in.end(), channelValues.begin(), channelValues.end());
    return in;
}

// Every user stage at 0, the pitch correction and the effect returns off:
// the vocal path is then the high-pass and the pre-leveler alone.
inline void NeutralVocalChain() {
    if (IsTuneEnabled()) ToggleTune();
    SetVocalBalance(0.0f);
    SetVocalBody(0.0f);
    SetVocalOpto(0.0f);
    SetVocalBodyPlus(0.0f);
    SetVocalSmooth(0.0f);
    SetVocalWarmth(0.0f);
    SetVocalAir(48000.0f, 0.0f);
    SetReverbLevel(0.0f);
    SetEchoLevel(0.0f);
}
