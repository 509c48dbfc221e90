// The master bus measured with steady signals, steps and hostile input.

#include <cmath>
#include <limits>
#include <random>

#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"

namespace {
// Left output after `frames` of a constant pair.
float Settle(float left, float right, int frames = 48000, float* rightOut = nullptr) {
    const MasterSettings m = LoadMasterSettings();
    StereoSample y{};
    for (int i = 0; i < frames; ++i) y = ProcessMaster(m, left, right);
    if (rightOut) *rightOut = y.right;
    return y.left;
}

TEST_F(EngineTest, BypassedGlueAlsoBypassesTheOutputGainButNotTheCeiling) {
    SetMasterGlue(0.0f);
    SetMasterOutputDb(8.0f);
    const StereoSample y = ProcessMaster(LoadMasterSettings(), 0.5f, -0.5f);
    EXPECT_TRUE(y.left == 0.5f && y.right == -0.5f);
    EXPECT_FLOAT_EQ(ProcessMaster(LoadMasterSettings(), 3.0f, -3.0f).right, -0.912f);
}

TEST_F(EngineTest, GlueAddsMakeupBelowThresholdAndSettlesOnItsCurveAbove) {
    EXPECT_NEAR(Settle(0.3f, 0.3f), 0.354f, 0.001f);  // makeup 1.18 at the default 0.6
    SetMasterOutputDb(3.0f);
    EXPECT_NEAR(Settle(0.3f, 0.3f), 0.354f * std::pow(10.0, 0.15), 0.001f);
    SetMasterOutputDb(0.0f);
    SetMasterGlue(1.0f);
    // g = (1 - 0.4) / 2.5 + 0.4 = 0.64, makeup 1.3: 0.832, then the soft clip.
    EXPECT_NEAR(Settle(1.0f, 1.0f), 0.78 + 0.22 * std::tanh((0.832 - 0.78) / 0.22), 1e-4);
}

TEST_F(EngineTest, GlueEnvelopeFollowsItsAttackAndReleaseAndLinksTheChannels) {
    Settle(1.0f, 0.0f, 1200);  // 25 ms
    EXPECT_NEAR(engine.glueEnv, 1.0 - std::exp(-1.0), 0.002);
    Settle(1.0f, 0.0f);
    Settle(0.0f, 0.0f, 5760);  // 120 ms
    EXPECT_NEAR(engine.glueEnv, std::exp(-1.0), 0.002);
    float right = 0.0f;
    const float left = Settle(0.7f, 0.1f, 48000, &right);  // the left side drives the envelope
    EXPECT_NEAR(right / 0.1f, left / 0.7f, 1e-4);
    EXPECT_LT(left / 0.7f, 1.17f);
}

TEST_F(EngineTest, OutputNeverExceedsTheCeilingOnRandomAndExtremeInput) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> gain(-6.0f, 8.0f), amount(0.0f, 1.0f), loud(-40.0f, 40.0f);
    const float specials[] = {std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), INFINITY, NAN,
                              std::numeric_limits<float>::denorm_min(), 1e30f, -0.0f};
    for (int trial = 0; trial < 40; ++trial) {
        SetMasterGlue(amount(rng));
        SetMasterOutputDb(gain(rng));
        const MasterSettings m = LoadMasterSettings();
        for (int i = 0; i < 5000; ++i) {
            const StereoSample y = ProcessMaster(m, i % 97 == 0 ? specials[i % 7] : loud(rng), loud(rng));
            ASSERT_TRUE(std::fabs(y.left) <= 0.912f && std::fabs(y.right) <= 0.912f) << trial;
        }
    }
}

TEST_F(EngineTest, NonFiniteInputIsCountedSilenceAndLongSilenceLeavesNoDenormal) {
    const StereoSample y = ProcessMaster(LoadMasterSettings(), NAN, INFINITY);
    EXPECT_TRUE(y.left == 0.0f && y.right == 0.0f && engine.nonFiniteSamples == 2u);
    EXPECT_NEAR(Settle(0.3f, 0.3f), 0.354f, 0.001f);
    Settle(0.0f, 0.0f, 48000 * 30);
    EXPECT_EQ(std::fpclassify(engine.glueEnv), FP_ZERO);
}
}  // namespace
