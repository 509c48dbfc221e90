// Gates, wrap-around, latency cuts and drop counting of the three rings.

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "engine/bridge_ring.h"
#include "tests/support/engine_fixture.h"

namespace {
std::vector<float> Sequence(size_t count, float first) {
    std::vector<float> v(count);
    std::iota(v.begin(), v.end(), first);
    return v;
}

void Write(const std::vector<float>& v) { WriteBeatRing(v.data(), static_cast<int64_t>(v.size())); }

TEST_F(EngineTest, BeatRingGateOpensAfterTheBatchReachingThePrefillAndResetRearmsIt) {
    std::vector<float> out(4800, -1.0f);
    Write(Sequence(959, 0));
    EXPECT_EQ(ReadBeatRing(out.data(), 2, BeatReader::Studio), 0);
    Write(Sequence(1, 959));
    EXPECT_EQ(ReadBeatRing(out.data(), 960, BeatReader::Studio), 960);  // exactly the fill
    EXPECT_EQ(out[959], 959.0f);
    SetBeatPrefill(4800);
    ResetBeatRing();
    EXPECT_EQ(BeatRingFill(), 0);
    Write(Sequence(4000, 0));
    EXPECT_TRUE(engine.beatRingPriming);
    Write(Sequence(1024, 4000));
    EXPECT_EQ(ReadBeatRing(out.data(), 4800, BeatReader::Studio), 4800);
    EXPECT_EQ(out[4799], 4799.0f);
}

TEST_F(EngineTest, ShortBeatRingReadCopiesNothingAndShutsTheGateUntilTheProducerReopensIt) {
    Write(Sequence(961, 0));
    std::vector<float> out(960, -1.0f);
    ASSERT_EQ(ReadBeatRing(out.data(), 2, BeatReader::Studio), 2);
    std::fill(out.begin(), out.end(), -1.0f);
    EXPECT_EQ(ReadBeatRing(out.data(), 960, BeatReader::Studio), 0);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(engine.beatRingRead, 2);
    EXPECT_TRUE(engine.beatRingPriming);
    engine.beatRingWrite = engine.beatRingWrite + 2000;  // data without the producer's gate check
    EXPECT_EQ(ReadBeatRing(out.data(), 960, BeatReader::Studio), 0);
    Write(Sequence(2, 0));
    EXPECT_EQ(ReadBeatRing(out.data(), 960, BeatReader::Studio), 960);
}

TEST_F(EngineTest, BeatRingKeepsOrderAcrossItsNonPowerOfTwoWrap) {
    float next = 0, expected = 0;
    for (int round = 0; round < 330; ++round) {  // three laps in batches that do not divide the ring
        const size_t n = round % 7 == 3 ? 234 : 1000;
        Write(Sequence(n, next));
        next += static_cast<float>(n);
        std::vector<float> out(n);
        ASSERT_EQ(ReadBeatRing(out.data(), static_cast<int64_t>(n), BeatReader::Studio), static_cast<int64_t>(n));
        for (float v : out) ASSERT_EQ(v, expected++) << round;
    }
}

TEST_F(EngineTest, BeatRingTrimDropsTheOldestWholeFrames) {
    Write(Sequence(6725, 0));
    EXPECT_EQ(TrimBeatRing(6720), 6);  // 5 over, rounded up to a whole frame
    EXPECT_EQ(BeatRingFill(), 6719);
    std::vector<float> out(2);
    ASSERT_EQ(ReadBeatRing(out.data(), 2, BeatReader::Studio), 2);
    EXPECT_EQ(out[0], 6.0f);
    EXPECT_EQ(TrimBeatRing(19200), 0);
}

TEST_F(EngineTest, BridgeRingCutsItsBacklogCountsUnderrunsAndKeepsOneSlotFree) {
    const std::vector<float> mic = Sequence(1000, 0);
    ASSERT_EQ(WriteBridgeRing(mic.data(), 1000), 1000u);
    std::vector<float> block(128, 0.0f);
    EXPECT_EQ(ReadBridgeBlock(block.data(), 128), 128u);
    EXPECT_EQ(block[0], 424.0f);  // cut to 576 before reading
    EXPECT_EQ(block[127], 551.0f);
    EXPECT_EQ(engine.bridgeFillFrames, 448u);
    EXPECT_EQ(engine.bridgeFramesConsumed, 128u);
    for (int i = 0; i < 3; ++i) ReadBridgeBlock(block.data(), 128);
    std::fill(block.begin(), block.end(), 0.0f);
    EXPECT_EQ(engine.bridgeUnderruns, 0u);
    EXPECT_EQ(ReadBridgeBlock(block.data(), 128), 64u);
    EXPECT_EQ(block[63], 999.0f);
    EXPECT_EQ(block[64], 0.0f);
    EXPECT_EQ(engine.bridgeUnderruns, 1u);
    EXPECT_EQ(engine.bridgeFillFrames, 0u);
    const std::vector<float> flood = Sequence(20000, 0);
    EXPECT_EQ(WriteBridgeRing(flood.data(), 20000), 16383u);
    EXPECT_EQ(engine.bridgeFramesCaptured, 21000u);
}

TEST_F(EngineTest, BridgeRingWrapsWithItsMask) {
    std::vector<float> block(500);
    float expected = 0;
    for (int round = 0; round < 100; ++round) {  // about three laps
        const std::vector<float> mic = Sequence(500, static_cast<float>(round * 500));
        ASSERT_EQ(WriteBridgeRing(mic.data(), 500), 500u);
        ASSERT_EQ(ReadBridgeBlock(block.data(), 500), 500u);
        for (float v : block) ASSERT_EQ(v, expected++);
    }
}

TEST_F(EngineTest, RecorderTapClampsTruncatesTowardZeroAndIdlesWhileInactive) {
    PushRecorderFrame(0.5f, 0.5f);
    EXPECT_EQ(engine.recordWriteIndex, 0u);
    engine.recorderActive = true;
    PushRecorderFrame(0.5f, -0.5f);
    PushRecorderFrame(1.5f, -2.0f);
    PushRecorderFrame(-0.00003f, 0.99999f);
    PushRecorderFrame(std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(DrainRecord(), (std::vector<int16_t>{16383, -16383, 32767, -32767, 0, 32766, 0, 0}));
    EXPECT_EQ(engine.recordFramesPushed, 4u);
}

TEST_F(EngineTest, FullRecordRingDropsAndCountsFramesAndRecoversWhenDrained) {
    engine.recorderActive = true;
    for (int i = 0; i < 524288 + 3; ++i) PushRecorderFrame(0.1f, 0.1f);
    EXPECT_EQ(engine.recordFramesPushed, 524288u);
    EXPECT_EQ(engine.recordFramesDropped, 3u);
    int16_t some[100];
    EXPECT_EQ(ReadRecordRing(some, 99), 98u);  // whole frames only
    for (int i = 0; i < 50; ++i) PushRecorderFrame(0.1f, 0.1f);
    EXPECT_EQ(engine.recordFramesPushed, 524288u + 49u);
    EXPECT_EQ(engine.recordFramesDropped, 4u);
}
}  // namespace
