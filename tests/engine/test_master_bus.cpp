// The master bus measured with steady signals, steps and hostile input.

#include <cmath>
#include <limits>
#include <random>

#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"

namespace {
// Peak of the last second of a steady 1 kHz sine of the given peak level.
float SteadySinePeak(float level, int seconds = 2) {
    const MasterSettings m = LoadMasterSettings();
    float peak = 0.0f;
    const int total = 48000 * seconds;
    for (int i = 0; i < total; ++i) {
        const float x = level * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * i / 48000.0));
        const StereoSample y = ProcessMaster(m, x, x);
        if (i >= total - 48000) peak = std::fmax(peak, std::fabs(y.left));
    }
    return peak;
}

TEST_F(EngineTest, BypassedGlueAlsoBypassesTheOutputGain) {
    SetMasterGlue(0.0f);
    SetMasterOutputDb(8.0f);
    const StereoSample y = ProcessMaster(LoadMasterSettings(), 0.5f, -0.5f);
    EXPECT_FLOAT_EQ(y.left, 0.5f);
    EXPECT_FLOAT_EQ(y.right, -0.5f);
    EXPECT_FLOAT_EQ(ProcessMaster(LoadMasterSettings(), 3.0f, -3.0f).left, 0.912f);
}

TEST_F(EngineTest, BelowThresholdTheGlueOnlyAddsMakeup) {
    EXPECT_NEAR(SteadySinePeak(0.3f), 0.354f, 0.001f);
}

TEST_F(EngineTest, FullScaleWithFullGlueSettlesAtTheStaticCurve) {
    SetMasterGlue(1.0f);
    const MasterSettings m = LoadMasterSettings();
    StereoSample y;
    for (int i = 0; i < 48000; ++i) y = ProcessMaster(m, 1.0f, 1.0f);
    // g = ((1 - 0.4) / 2.5 + 0.4) = 0.64, makeup 1.3: 0.832, then the soft clip.
    const double expected = 0.78 + 0.22 * std::tanh((0.832 - 0.78) / 0.22);
    EXPECT_NEAR(y.left, expected, 1e-4);
    EXPECT_NEAR(y.left, 0.831, 0.001);
}

TEST_F(EngineTest, GlueEnvelopeFollowsItsAttackAndReleaseTimes) {
    const MasterSettings m = LoadMasterSettings();
    for (int i = 0; i < 1200; ++i) ProcessMaster(m, 1.0f, 0.0f);  // 25 ms
    EXPECT_NEAR(engine.glueEnv, 1.0 - std::exp(-1.0), 0.002);
    for (int i = 0; i < 48000; ++i) ProcessMaster(m, 1.0f, 0.0f);
    for (int i = 0; i < 5760; ++i) ProcessMaster(m, 0.0f, 0.0f);  // 120 ms
    EXPECT_NEAR(engine.glueEnv, std::exp(-1.0), 0.002);
}

TEST_F(EngineTest, GlueGainIsLinkedAcrossChannels) {
    const MasterSettings m = LoadMasterSettings();
    StereoSample y;
    for (int i = 0; i < 48000; ++i) y = ProcessMaster(m, 0.7f, 0.1f);  // left drives the envelope
    EXPECT_NEAR(y.right / 0.1f, y.left / 0.7f, 1e-4);
    EXPECT_LT(y.left / 0.7f, 1.18f);  // compression is acting on both
}

TEST_F(EngineTest, OutputNeverExceedsTheCeilingOnRandomAndExtremeInput) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> gain(-6.0f, 8.0f);
    std::uniform_real_distribution<float> amount(0.0f, 1.0f);
    std::uniform_real_distribution<float> loud(-40.0f, 40.0f);
    const float specials[] = {std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::denorm_min(), 1e30f, -0.0f};
    for (int trial = 0; trial < 40; ++trial) {
        SetMasterGlue(amount(rng));
        SetMasterOutputDb(gain(rng));
        const MasterSettings m = LoadMasterSettings();
        for (int i = 0; i < 5000; ++i) {
            const float l = i % 97 == 0 ? specials[i % 7] : loud(rng);
            const StereoSample y = ProcessMaster(m, l, loud(rng));
            ASSERT_TRUE(std::isfinite(y.left) && std::isfinite(y.right));
            ASSERT_LE(std::fabs(y.left), 0.912f);
            ASSERT_LE(std::fabs(y.right), 0.912f);
        }
    }
}

TEST_F(EngineTest, NonFiniteInputBecomesSilenceIsCountedAndDoesNotPoisonTheBus) {
    const MasterSettings m = LoadMasterSettings();
    const StereoSample y = ProcessMaster(m, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(y.left, 0.0f);
    EXPECT_EQ(y.right, 0.0f);
    EXPECT_EQ(engine.nonFiniteSamples, 2u);
    EXPECT_NEAR(SteadySinePeak(0.3f), 0.354f, 0.001f);
}

TEST_F(EngineTest, LongSilenceLeavesNoDenormalEnvelope) {
    const MasterSettings m = LoadMasterSettings();
    ProcessMaster(m, 0.9f, 0.9f);
    for (int i = 0; i < 48000 * 30; ++i) ProcessMaster(m, 0.0f, 0.0f);
    EXPECT_EQ(std::fpclassify(engine.glueEnv), FP_ZERO);
}
}  // namespace
