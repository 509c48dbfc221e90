// Setter clamps and the values derived from them.

#include <cmath>
#include <functional>

#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"

namespace {
TEST_F(EngineTest, AmountSettersClampToZeroOneAndTreatNaNAsZero) {
    const std::pair<std::function<void(float)>, std::atomic<float>*> cases[] = {
        {SetVocalBody, &engine.bodyAmount},     {SetVocalSmooth, &engine.smoothAmount},
        {SetVocalWarmth, &engine.warmthAmount}, {SetVocalBodyPlus, &engine.bodyPlusAmount},
        {SetVocalOpto, &engine.optoAmount},     {SetReverbLevel, &engine.reverbLevel},
        {SetEchoLevel, &engine.echoLevel},      {SetMasterGlue, &engine.glueAmount},
        {SetVocalBalance, &engine.balanceAmount}, {[](float a) { SetVocalAir(48000.0f, 10.0f * a); }, &engine.airDb}};
    for (const auto& [set, field] : cases) {
        const float top = field == &engine.airDb ? 10.0f : 1.0f;
        for (const auto& [in, want] : {std::pair{0.37f, 0.37f}, {7.0f, 1.0f}, {-0.2f, 0.0f}, {NAN, 0.0f}}) {
            set(in);
            EXPECT_FLOAT_EQ(*field, want * top) << in;
        }
    }
}

TEST_F(EngineTest, BalanceDerivesThresholdRatioAndMakeupAsAtStartUp) {
    const float threshold = engine.balanceThresholdDb, ratio = engine.balanceRatio, makeup = engine.balanceMakeup;
    SetVocalBalance(engine.balanceAmount);
    EXPECT_NEAR(engine.balanceThresholdDb, threshold, 1e-5);
    EXPECT_NEAR(engine.balanceRatio, ratio, 1e-5);
    EXPECT_NEAR(engine.balanceMakeup, makeup, 1e-5);
    SetVocalBalance(1.5f);
    EXPECT_FLOAT_EQ(engine.balanceThresholdDb, -30.0f);
    EXPECT_FLOAT_EQ(engine.balanceRatio, 5.5f);
    EXPECT_NEAR(engine.balanceMakeup, std::pow(10.0, 7.5 / 20.0), 1e-5);
}

TEST_F(EngineTest, MasterOutputGainIsTheClampedDecibelValue) {
    for (const auto& [db, want] : {std::pair{12.0f, 8.0}, {-20.0f, -6.0}, {3.0f, 3.0}}) {
        SetMasterOutputDb(db);
        EXPECT_NEAR(engine.masterOutputGain, std::pow(10.0, want / 20.0), 1e-5) << db;
    }
}

TEST_F(EngineTest, BeatPrefillIsBoundedByTheMinimumAndHalfTheRing) {
    for (const auto& [asked, got] : {std::pair{100, 960}, {60000, 48000}, {4800, 4800}}) {
        SetBeatPrefill(asked);
        EXPECT_EQ(engine.beatRingPrefill, got);
    }
}
}  // namespace
