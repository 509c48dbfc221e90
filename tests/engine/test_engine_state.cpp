// The rings' gates, latency cuts and drop counts (their wrap-around: test_ring_stress),
// the setters' clamps, and the master bus on steady signals, steps and hostile input.

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "engine/bridge_ring.h"
#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"

namespace {
std::vector<float> Sequence(size_t count, float first = 0.0f) {
    std::vector<float> v(count);
    std::iota(v.begin(), v.end(), first);
    return v;
}

void Write(const std::vector<float>& v) { WriteBeatRing(v.data(), static_cast<int64_t>(v.size())); }
int64_t Read(std::vector<float>& out, int64_t n) { return ReadBeatRing(out.data(), n, BeatReader::Studio); }

TEST_F(EngineTest, BeatRingGateOpensAtThePrefillShutsOnAShortReadAndTrimsTheOldestWholeFrames) {
    std::vector<float> out(960, -1.0f);
    Write(Sequence(959));
    EXPECT_EQ(Read(out, 2), 0);
    Write(Sequence(1, 959));
    EXPECT_EQ(Read(out, 960), 960);  // exactly the fill
    EXPECT_EQ(out[959], 959.0f);
    Write(Sequence(959, 960));
    EXPECT_EQ(Read(out, 960), 0);  // short: copies nothing, shuts the gate
    EXPECT_EQ(out[0], 0.0f);
    Write(Sequence(2, 1919));
    EXPECT_EQ(Read(out, 2), 2);
    Write(Sequence(5766, 1921));       // 6725 waiting
    EXPECT_EQ(TrimBeatRing(6720), 6);  // 5 over, rounded up to a whole frame
    EXPECT_EQ(Read(out, 2), 2);
    EXPECT_EQ(out[0], 968.0f);
    EXPECT_EQ(TrimBeatRing(19200), 0);
    SetBeatPrefill(100);  // the floor
    EXPECT_EQ(engine.beatRingPrefill, 960);
    SetBeatPrefill(60000);  // half the ring at most
    EXPECT_EQ(engine.beatRingPrefill, 48000);
    HandBeatRingTo(BeatReader::Mini);  // the new holder starts from an empty ring, primed to the new prefill
    EXPECT_EQ(BeatRingFill(), 0);
    Write(Sequence(47999));
    EXPECT_EQ(ReadBeatRing(out.data(), 2, BeatReader::Mini), 0);
}

// The sample conversion: the recorder's tests.
TEST_F(EngineTest, RecorderTapIdlesWhileInactiveReadsWholeFramesAndCountsDropsOnceFull) {
    PushRecorderFrame(0.5f, 0.5f);
    EXPECT_EQ(engine.recordWriteIndex, 0u);
    engine.recorderActive = true;
    for (int i = 0; i < 524288 + 3; ++i) PushRecorderFrame(0.1f, 0.1f);  // three over the full ring
    EXPECT_EQ(engine.recordFramesPushed, 524288u);
    EXPECT_EQ(engine.recordFramesDropped, 3u);
    int16_t some[100];
    EXPECT_EQ(ReadRecordRing(some, 99), 98u);  // whole frames only
    for (int i = 0; i < 50; ++i) PushRecorderFrame(0.1f, 0.1f);
    EXPECT_EQ(engine.recordFramesDropped, 4u);
}

// Out-of-range values land on the bounds and a NaN on the lower one.
TEST_F(EngineTest, SettersClampAndTreatNaNAsTheFloor) {
    const std::pair<void (*)(float), std::atomic<float>*> cases[] = {
        {SetVocalBody, &engine.bodyAmount},       {SetVocalSmooth, &engine.smoothAmount},
        {SetVocalWarmth, &engine.warmthAmount},   {SetVocalBodyPlus, &engine.bodyPlusAmount},
        {SetVocalOpto, &engine.optoAmount},       {SetReverbLevel, &engine.reverbLevel},
        {SetEchoLevel, &engine.echoLevel},        {SetMasterGlue, &engine.glueAmount},
        {SetVocalBalance, &engine.balanceAmount}, {SetAirAmount, &engine.airDb}};
    for (const auto& [set, field] : cases) {
        const float top = field == &engine.airDb ? 10.0f : 1.0f;
        for (const auto& [in, want] : {std::pair{0.37f, 0.37f}, {7.0f, 1.0f}, {-0.2f, 0.0f}, {NAN, 0.0f}}) {
            set(in);
            EXPECT_FLOAT_EQ(*field, want * top) << in;
        }
    }
    for (const auto& [db, want] : {std::pair{12.0f, 8.0}, {-20.0f, -6.0}, {3.0f, 3.0}}) {
        SetMasterOutputDb(db);
        EXPECT_NEAR(engine.masterOutputGain, std::pow(10.0, want / 20.0), 1e-5) << db;
    }
}

// Left output after `frames` of a constant pair.
float Settle(float left, float right, int frames = 48000, float* rightOut = nullptr) {
    const MasterSettings m = LoadMasterSettings();
    StereoSample y{};
    for (int i = 0; i < frames; ++i) y = ProcessMaster(m, left, right);
    if (rightOut) *rightOut = y.right;
    return y.left;
}

TEST_F(EngineTest, GlueSettlesOnItsCurveWithItsAttackAndReleaseLinkedAcrossTheChannels) {
    SetMasterOutputDb(3.0f);  // below the threshold: makeup 1.18 at the default 0.6, then the output gain
    EXPECT_NEAR(Settle(0.3f, 0.3f), 0.354f * std::pow(10.0, 0.15), 0.001f);
    SetMasterGlue(0.0f);
    EXPECT_TRUE(Settle(0.5f, -0.5f, 1) == 0.5f && Settle(3.0f, -3.0f, 1) == 0.912f);  // bypassed; the ceiling stays
    SetMasterOutputDb(0.0f);
    SetMasterGlue(1.0f);
    // g = (1 - 0.4) / 2.5 + 0.4 = 0.64, makeup 1.3: 0.832, then the soft clip.
    EXPECT_NEAR(Settle(1.0f, 1.0f), 0.78 + 0.22 * std::tanh((0.832 - 0.78) / 0.22), 1e-4);
    Settle(0.0f, 0.0f);
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

TEST_F(EngineTest, HostileInputIsCountedSilenceNeverPassesTheCeilingAndLongSilenceLeavesNoDenormal) {
    float right = 1.0f;
    EXPECT_TRUE(Settle(NAN, INFINITY, 1, &right) == 0.0f && right == 0.0f && engine.nonFiniteSamples == 2u);
    EXPECT_NEAR(Settle(0.3f, 0.3f), 0.354f, 0.001f);  // nothing stuck in the envelope
    Settle(0.0f, 0.0f, 48000 * 30);
    EXPECT_EQ(std::fpclassify(engine.glueEnv), FP_ZERO);
    using Limits = std::numeric_limits<float>;
    for (const float glue : {0.0f, 0.4f, 1.0f}) {
        SetMasterGlue(glue);
        SetMasterOutputDb(8.0f);
        const MasterSettings m = LoadMasterSettings();
        for (const float x : {Limits::max(), -Limits::max(), INFINITY, NAN, Limits::denorm_min(), 40.0f, -3.0f}) {
            const StereoSample y = ProcessMaster(m, x, -x);
            EXPECT_TRUE(std::fabs(y.left) <= 0.912f && std::fabs(y.right) <= 0.912f) << glue << ", " << x;
        }
    }
}
}  // namespace
