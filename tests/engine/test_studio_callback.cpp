// The Studio block function: input selection, mixing, modes, tap and meters (blocks longer than the
// scratch: the offline render's block-size test).

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "engine/bridge_ring.h"
#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
TEST_F(EngineTest, MicrophoneIsTheConfiguredInputOrTheBridgeWhileEnabledAndRunning) {
    RunBlock({}, 128);  // no input buffer at all
    EXPECT_EQ(engine.micPeak, 0.0f);
    // channels, mode, raw peak; mode 2 sums two inputs, unscaled on one
    const std::tuple<int, int, float> cases[] = {{2, 0, 0.2f}, {2, 1, 0.6f},  {2, 2, 0.8f * 0.707f},
                                                 {2, 3, 0.0f}, {2, -1, 0.0f}, {1, 0, 0.2f},
                                                 {1, 2, 0.2f}, {1, 3, 0.0f},  {0, 0, 0.0f}};
    for (const auto& [channels, mode, raw] : cases) {
        InitEngine();
        engine.inputChannels = channels;
        engine.micChannelMode = mode;
        RunBlock(ConstantInput(128, channels >= 2 ? std::vector<float>{0.2f, 0.6f} : std::vector<float>{0.2f}), 128);
        EXPECT_NEAR(engine.micPeak, raw, 1e-6) << channels << " channels, mode " << mode;
    }
    InitEngine();
    engine.inputChannels = 1;
    const std::vector<float> mic(1000, 0.7f);
    WriteBridgeRing(mic.data(), 1000);
    engine.micBridgeEnabled = true;
    RunBlock(ConstantInput(128, {0.1f}), 128);  // not running yet: the sound card input
    EXPECT_FLOAT_EQ(engine.micPeak, 0.1f);
    engine.micBridgeRunning = true;
    engine.micChannelMode = 3;  // the bridge ignores the sound card's selection
    RunBlock({}, 128);
    EXPECT_FLOAT_EQ(engine.micPeak, 0.7f);
    EXPECT_EQ(engine.bridgeFillFrames, 448u);
}

TEST_F(EngineTest, VocalLeavesOnBothSidesAsTheHighPassedMicrophoneTimes1Point1) {
    SetMasterGlue(0.0f);
    ToggleTune();  // every amount at 0: below -10 dB the pre-leveler passes the voice untouched
    for (const auto set : kAmounts) set(0.0f);
    // The 75 Hz, Q 0.7071 cookbook high-pass in double precision.
    const double w = 2.0 * M_PI * 75.0 / 48000.0, alpha = std::sin(w) / (2.0 * 0.7071), a0 = 1.0 + alpha;
    const double b0 = (1.0 + std::cos(w)) / 2.0 / a0, a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, worst = 0.0;
    const std::vector<float> in = Sine(40 * 256, 220.0, 0.25f), out = Play(in);
    for (size_t i = 0; i < in.size(); ++i) {
        const double y = b0 * (in[i] - 2.0 * x1 + x2) - a1 * y1 - a2 * y2;
        x2 = x1, x1 = in[i], y2 = y1, y1 = y;
        worst = std::fmax(worst, std::fabs(out[2 * i] - 1.1 * y));
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
    }
    EXPECT_LT(worst, 1e-4);
}

// The meters hold a block's peak and decay by the block; a block with a status is still processed.
TEST_F(EngineTest, BeatIsMixedAtBeatVolumeMeteredAndSilentOnUnderflow) {
    SetMasterGlue(0.0f);
    engine.beatVolume = 0.5f;
    FeedBeat(600, 0.5f, -0.25f);
    const std::vector<float> out = RunBlock({}, 128, 2);
    EXPECT_TRUE(out[0] == 0.25f && out[1] == -0.125f && engine.beatPeak == 0.25f);
    EXPECT_NE(RunBlock({}, 256)[0], 0.0f);
    EXPECT_EQ(RunBlock({}, 256)[0], 0.0f);  // 432 samples left, 512 wanted (the gate: test_engine_state)
    EXPECT_NEAR(engine.beatPeak, 0.25 * 0.94 * 0.94, 1e-6);  // a peak only equalled decays too
    EXPECT_EQ(engine.callbackBlocks, 3u);
    EXPECT_EQ(engine.callbackStatusEvents, 1u);
}

TEST_F(EngineTest, BeatOnlyFreezesTheVocalPathAndPlaysTheBeatThroughTheMaster) {
    engine.inputChannels = 1;
    for (unsigned b = 0; b < 4; ++b) RunBlock(ConstantInput(128, {0.3f}), 128);
    const float frozenY1 = engine.micHighPass.y1, frozenX1 = engine.micHighPass.x1;
    engine.studioMode = 1;
    engine.beatVolume = 1.0f;
    FeedBeat(2048, 0.3f, -0.3f);
    const std::vector<float> out = RunBlock(ConstantInput(128, {0.9f}), 128);
    EXPECT_TRUE(engine.micHighPass.y1 == frozenY1 && engine.micHighPass.x1 == frozenX1);
    EXPECT_EQ(engine.micPeak + engine.vocalPeak, 0.0f);
    EXPECT_NEAR(out[0], 0.3f * 1.18f, 1e-6);  // below the glue threshold: makeup only
    EXPECT_NEAR(out[1], -0.3f * 1.18f, 1e-6);
    EXPECT_FLOAT_EQ(engine.beatPeak, std::fabs(out[1]));
}

// REC MIX with the voice: the offline render's tests.
TEST_F(EngineTest, RecMixRecordsTheOutputAndRecVocalTheVocalBusWithoutBeatOrMaster) {
    engine.recorderActive = true;
    engine.studioMode = 1;  // the beat alone: a vocal take goes on, silent
    engine.recordMode = 1;
    FeedBeat(8192, 0.4f, -0.4f);
    RunBlock({}, 64);
    EXPECT_EQ(DrainRecord(), std::vector<int16_t>(128, 0));
    const std::vector<float> in = Sine(256, 330.0, 0.5f);
    auto vocalTake = [&](float glue, bool beat, float volume) {
        InitEngine();
        ToggleTune();  // its 1500-sample delay would leave the block silent
        engine.inputChannels = 1;
        engine.recorderActive = true;
        engine.recordMode = 1;
        engine.vocalVolume = volume;
        SetMasterGlue(glue);
        if (beat) FeedBeat(4096, 0.5f, 0.5f);
        RunBlock(in, 256);
        return DrainRecord();
    };
    const std::vector<int16_t> plain = vocalTake(0.0f, false, 100.0f);
    EXPECT_EQ(vocalTake(1.0f, true, 100.0f), plain);
    EXPECT_GT(*std::max_element(plain.begin(), plain.end()), 1000);
    EXPECT_EQ(vocalTake(1.0f, true, 0.0f), std::vector<int16_t>(512, 0));
    EXPECT_EQ(engine.vocalPeak, 0.0f);  // the vocal meter too, not the raw one
    EXPECT_GT(engine.micPeak, 0.45f);
}

}  // namespace
