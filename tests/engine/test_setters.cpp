// Setter clamps and the values derived from them.

#include <cmath>
#include <functional>
#include <limits>

#include "engine/beat_ring.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST_F(EngineTest, BalanceDerivesThresholdRatioAndMakeupFromTheClampedAmount) {
    SetVocalBalance(1.5f);
    EXPECT_FLOAT_EQ(engine.balanceAmount, 1.0f);
    EXPECT_FLOAT_EQ(engine.balanceThresholdDb, -30.0f);
    EXPECT_FLOAT_EQ(engine.balanceRatio, 5.5f);
    EXPECT_NEAR(engine.balanceMakeup, std::pow(10.0, 7.5 / 20.0), 1e-5);

    SetVocalBalance(-3.0f);
    EXPECT_FLOAT_EQ(engine.balanceThresholdDb, -6.0f);
    EXPECT_FLOAT_EQ(engine.balanceRatio, 2.0f);
    EXPECT_FLOAT_EQ(engine.balanceMakeup, 1.0f);
}

TEST_F(EngineTest, StartUpBalanceMatchesTheFixedInitialisation) {
    EXPECT_NEAR(engine.balanceThresholdDb, -19.2f, 1e-5);
    EXPECT_NEAR(engine.balanceRatio, 3.925f, 1e-6);
    EXPECT_NEAR(engine.balanceMakeup, std::pow(10.0, 0.20625), 1e-5);
}

TEST_F(EngineTest, AmountSettersClampToZeroOneAndTreatNaNAsZero) {
    struct Case {
        std::function<void(float)> set;
        std::atomic<float>* field;
    };
    const Case cases[] = {{SetVocalBody, &engine.bodyAmount},     {SetVocalSmooth, &engine.smoothAmount},
                          {SetVocalWarmth, &engine.warmthAmount}, {SetVocalBodyPlus, &engine.bodyPlusAmount},
                          {SetVocalOpto, &engine.optoAmount},     {SetReverbLevel, &engine.reverbLevel},
                          {SetEchoLevel, &engine.echoLevel},      {SetMasterGlue, &engine.glueAmount}};
    for (const Case& c : cases) {
        c.set(0.37f);
        EXPECT_FLOAT_EQ(*c.field, 0.37f);
        c.set(7.0f);
        EXPECT_FLOAT_EQ(*c.field, 1.0f);
        c.set(-0.2f);
        EXPECT_FLOAT_EQ(*c.field, 0.0f);
        c.set(kNaN);
        EXPECT_FLOAT_EQ(*c.field, 0.0f);
    }
}

TEST_F(EngineTest, AirIsClampedToTenDbAndStartsAt2Point8) {
    EXPECT_FLOAT_EQ(engine.airDb, 2.8f);
    SetVocalAir(48000.0f, 14.0f);
    EXPECT_FLOAT_EQ(engine.airDb, 10.0f);
    SetVocalAir(48000.0f, -1.0f);
    EXPECT_FLOAT_EQ(engine.airDb, 0.0f);
}

TEST_F(EngineTest, MasterOutputGainIsTheClampedDecibelValue) {
    SetMasterOutputDb(12.0f);
    EXPECT_NEAR(engine.masterOutputGain, std::pow(10.0, 0.4), 1e-5);
    SetMasterOutputDb(-20.0f);
    EXPECT_NEAR(engine.masterOutputGain, std::pow(10.0, -0.3), 1e-6);
    SetMasterOutputDb(3.0f);
    EXPECT_NEAR(engine.masterOutputGain, std::pow(10.0, 0.15), 1e-6);
}

TEST_F(EngineTest, GlueThresholdAndMakeupFollowTheAmount) {
    EXPECT_NEAR(engine.glueThreshold, 0.54f, 1e-6);
    EXPECT_NEAR(engine.glueMakeup, 1.18f, 1e-6);
    SetMasterGlue(1.0f);
    EXPECT_NEAR(engine.glueThreshold, 0.40f, 1e-6);
    EXPECT_NEAR(engine.glueMakeup, 1.30f, 1e-6);
}

TEST_F(EngineTest, TuneModeSetsTheRetuneRateAndReturnsThePreviousMode) {
    EXPECT_EQ(SetTuneMode(0), 1);
    EXPECT_EQ(GetTuneMode(), 0);
    EXPECT_FLOAT_EQ(engine.retuneRate, 0.032f);
    EXPECT_EQ(SetTuneMode(2), 0);
    EXPECT_FLOAT_EQ(engine.retuneRate, 0.0025f);
    EXPECT_EQ(SetTuneMode(1), 2);
    EXPECT_FLOAT_EQ(engine.retuneRate, 0.0012f);
}

TEST_F(EngineTest, ToggleTuneReturnsThePreviousState) {
    EXPECT_TRUE(IsTuneEnabled());
    EXPECT_TRUE(ToggleTune());
    EXPECT_FALSE(IsTuneEnabled());
    EXPECT_FALSE(ToggleTune());
    EXPECT_TRUE(IsTuneEnabled());
}

TEST_F(EngineTest, BeatPrefillIsBoundedByTheMinimumAndHalfTheRing) {
    SetBeatPrefill(100);
    EXPECT_EQ(engine.beatRingPrefill, 960);
    SetBeatPrefill(60000);
    EXPECT_EQ(engine.beatRingPrefill, 48000);
    SetBeatPrefill(4800);
    EXPECT_EQ(engine.beatRingPrefill, 4800);
}

TEST_F(EngineTest, InitEngineRestoresTheStateBeforeConfiguration) {
    SetMasterGlue(0.1f);
    engine.vocalVolume = 3.0f;
    engine.callbackBlocks = 77;
    engine.beatRing[5] = 1.0f;
    engine.recordWriteIndex = 10;
    InitEngine();
    EXPECT_FLOAT_EQ(engine.glueAmount, 0.6f);
    EXPECT_FLOAT_EQ(engine.vocalVolume, 100.0f);
    EXPECT_EQ(engine.callbackBlocks, 0u);
    EXPECT_EQ(engine.beatRing[5], 0.0f);
    EXPECT_EQ(engine.recordWriteIndex, 0u);
    EXPECT_TRUE(engine.beatRingPriming);
    EXPECT_EQ(engine.micChannelMode, 1);
}
}  // namespace
