// Gates, latency cuts and drop counting of the three rings (their wrap-around: test_ring_stress).

#include <numeric>
#include <vector>

#include "engine/bridge_ring.h"
#include "tests/support/engine_fixture.h"

namespace {
std::vector<float> Sequence(size_t count, float first = 0.0f) {
    std::vector<float> v(count);
    std::iota(v.begin(), v.end(), first);
    return v;
}

void Write(const std::vector<float>& v) { WriteBeatRing(v.data(), static_cast<int64_t>(v.size())); }
int64_t Read(std::vector<float>& out, int64_t n) { return ReadBeatRing(out.data(), n, BeatReader::Studio); }

TEST_F(EngineTest, BeatRingGateOpensAfterTheBatchReachingThePrefillAndShutsOnAShortRead) {
    std::vector<float> out(4800, -1.0f);
    Write(Sequence(959));
    EXPECT_EQ(Read(out, 2), 0);
    Write(Sequence(2, 959));
    EXPECT_EQ(Read(out, 2), 2);
    EXPECT_EQ(Read(out, 960), 0);  // short: copies nothing, shuts the gate
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(engine.beatRingRead, 2);
    engine.beatRingWrite = engine.beatRingWrite + 2000;  // data without the producer's gate check
    EXPECT_EQ(Read(out, 960), 0);
    Write(Sequence(2, 961));
    EXPECT_EQ(Read(out, 960), 960);
    EXPECT_EQ(out[0], 2.0f);
    SetBeatPrefill(4800);
    ResetBeatRing();
    EXPECT_EQ(BeatRingFill(), 0);
    Write(Sequence(4000));
    EXPECT_TRUE(engine.beatRingPriming);
    Write(Sequence(1024, 4000));
    EXPECT_EQ(Read(out, 4800), 4800);
    EXPECT_EQ(out[4799], 4799.0f);
    EXPECT_EQ(Read(out, 224), 224);  // exactly the fill
}

TEST_F(EngineTest, BeatRingTrimDropsTheOldestWholeFrames) {
    Write(Sequence(6725));
    EXPECT_EQ(TrimBeatRing(6720), 6);  // 5 over, rounded up to a whole frame
    EXPECT_EQ(BeatRingFill(), 6719);
    std::vector<float> out(2);
    ASSERT_EQ(Read(out, 2), 2);
    EXPECT_EQ(out[0], 6.0f);
    EXPECT_EQ(TrimBeatRing(19200), 0);
}

TEST_F(EngineTest, BridgeRingCutsItsBacklogCountsUnderrunsAndKeepsOneSlotFree) {
    const std::vector<float> mic = Sequence(1000);
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
    const std::vector<float> flood = Sequence(20000);
    EXPECT_EQ(WriteBridgeRing(flood.data(), 20000), 16383u);
    EXPECT_EQ(engine.bridgeFramesCaptured, 21000u);
}

TEST_F(EngineTest, RecorderTapClampsTruncatesTowardZeroAndIdlesWhileInactive) {
    PushRecorderFrame(0.5f, 0.5f);
    EXPECT_EQ(engine.recordWriteIndex, 0u);
    engine.recorderActive = true;
    for (const auto& [l, r] : {std::pair{0.5f, -0.5f}, {1.5f, -2.0f}, {-0.00003f, 0.99999f}, {NAN, -INFINITY}}) {
        PushRecorderFrame(l, r);
    }
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
