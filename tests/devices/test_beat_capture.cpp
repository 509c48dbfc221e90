// The beat pump over scripted capture packets: what reaches the beat ring,
// through the real filter and the real SoundTouch shifter.

#include <cmath>

#include "devices/beat_capture.h"
#include "engine/beat_tone.h"
#include "tests/devices/device_world.h"
#include "tools/synth/signals.h"

namespace {
// `packets` packets of 10 ms of a stereo tone, continuing from `position`.
void QueueTone(int packets, double hz, float level, uint64_t& position, uint32_t frames = 480) {
    for (int p = 0; p < packets; ++p) {
        ScriptedPacket& packet = scripted.captureStream.packets.emplace_back();
        for (uint32_t i = 0; i < frames; ++i, ++position) {
            const double v = level * std::sin(2.0 * M_PI * hz * static_cast<double>(position) / 48000.0);
            packet.samples.insert(packet.samples.end(), 2, static_cast<float>(v));
        }
    }
}

class BeatPump : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        InitBeatCapture();
        SetBeatTone(0.0f);
        scripted.render.endpoints = {kSpeakers, kCable};
    }
    void TearDown() override { CloseBeatCapture(); }
    // Plays `seconds` of a tone packet by packet, a consumer taking the left channel of whole frames after each.
    static std::vector<float> PlayThrough(double hz, double seconds) {
        std::vector<float> left, block;
        uint64_t position = 0;
        for (int p = 0; p < static_cast<int>(seconds * 100); ++p) {
            QueueTone(1, hz, 0.5f, position);
            PumpBeat();
            const int64_t fill = BeatRingFill() & ~int64_t{1};
            block.resize(static_cast<size_t>(fill));
            if (fill > 0 && ReadBeatRing(block.data(), fill, BeatReader::Studio) == fill) {
                for (int64_t i = 0; i < fill; i += 2) left.push_back(block[static_cast<size_t>(i)]);
            }
        }
        return left;
    }
};

TEST_F(BeatPump, OpensTheLoopbackOfTheCablesOutputFoundByName) {
    ASSERT_TRUE(OpenBeatCapture());
    EXPECT_TRUE(beatCapture.beatCaptureReady && scripted.captureStream.openedLoopback);
    EXPECT_EQ(scripted.captureStream.openedId, kCable.id);
    scripted.captureStream.openFails = true;
    EXPECT_FALSE(OpenBeatCapture() || beatCapture.beatCaptureReady || scripted.captureStream.open);
    scripted.captureStream.openFails = false;
    scripted.captureStream.opens = 0;
    scripted.render.endpoints = {kSpeakers, {"cable_lower", "cable input (lower case)"}};
    scripted.capture.endpoints = {kCableCapture};  // the cable's capture side is never used
    EXPECT_FALSE(OpenBeatCapture() || beatCapture.beatCaptureReady);
    EXPECT_EQ(scripted.captureStream.opens, 0);
}

TEST_F(BeatPump, TwoSemitonesUpKeepsTheTempoAndAToneChangeKeepsTheBeatFlowing) {
    ASSERT_TRUE(OpenBeatCapture());
    EXPECT_EQ(SetBeatTone(2.0f), 2.0f);
    const std::vector<float> out = PlayThrough(440.0, 4.0);
    // The shifter holds its latency; everything else comes out at the rate it went in.
    EXPECT_NEAR(static_cast<double>(out.size()), 4.0 * 48000 - BeatShifterInitialLatencyFrames(), 2400.0);
    EXPECT_NEAR(EstimateFrequency(out, 24000, out.size()), 440.0 * std::pow(2.0, 2.0 / 12.0), 0.5);
    EXPECT_GT(engine.cablePeak.load(), 0.45f) << "the last packet's peak, or the one before decayed";
    EXPECT_TRUE(SetBeatTone(5.0f) == 3.0f && SetBeatTone(-1.5f) == -1.5f && SetBeatTone(NAN) == 0.0f);
    EXPECT_NEAR(static_cast<double>(PlayThrough(440.0, 1.0).size()), 48000.0, 2400.0) << "no reset, no gap";
}

TEST_F(BeatPump, SilentPacketsAreDroppedAndTheRingKeepsItsLatencyLimit) {
    ASSERT_TRUE(OpenBeatCapture());
    ScriptedPacket& silent = scripted.captureStream.packets.emplace_back();
    silent.samples.assign(2 * 480, 0.0f);
    silent.silent = true;
    PumpBeat();
    EXPECT_TRUE(beatCapture.silentPackets == 1u && beatCapture.framesCaptured == 0u);
    EXPECT_EQ(scripted.captureStream.releases, 1);
    uint64_t position = 0;
    QueueTone(50, 220.0, 0.3f, position);
    PumpBeat();  // half a second at once, nobody reading
    // Studio keeps 70 ms, or the shifter's two bursts and two UI frames when that is more.
    const int64_t burst = 2 * BeatShifterBurstFrames();
    const int64_t studioLimit = std::max<int64_t>(6720, 2 * burst + 3200);
    EXPECT_LE(engine.beatRingCushion.load(), burst + 3200);
    EXPECT_LE(BeatRingFill(), studioLimit);
    EXPECT_GT(beatCapture.samplesTrimmed, 0u);
    miniPlayerActive = true;
    QueueTone(50, 220.0, 0.3f, position);
    PumpBeat();
    EXPECT_TRUE(BeatRingFill() > studioLimit && BeatRingFill() <= 19200 && BeatRingFill() % 2 == 0) << BeatRingFill();
}

TEST_F(BeatPump, TheCushionFollowsHowOftenThePumpComes) {
    ASSERT_TRUE(OpenBeatCapture());
    const int64_t burst = 2 * BeatShifterBurstFrames();
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PumpBeat();
    }
    EXPECT_GE(engine.beatRingCushion.load(), burst + 2 * 2880) << "two gaps of at least 30 ms";
    for (int i = 0; i < 400; ++i) PumpBeat();  // a pump as fast as it goes
    EXPECT_TRUE(engine.beatRingCushion.load() < burst + 3200 && engine.beatRingCushion.load() >= burst + 2 * 96);
}

TEST_F(BeatPump, ALostStreamIsClosedTheMeterDecaysAndTheNextOpenWorks) {
    ASSERT_TRUE(OpenBeatCapture());
    scripted.captureStream.lost = true;
    PumpBeat();
    EXPECT_FALSE(beatCapture.beatCaptureReady || scripted.captureStream.open);
    EXPECT_EQ(beatCapture.streamsLost, 1u);
    engine.cablePeak = 1.0f;
    PumpBeat();  // without a capture: nothing breaks, the peak decays
    PumpBeat();
    EXPECT_FLOAT_EQ(engine.cablePeak.load(), 0.94f * 0.94f);
    ASSERT_TRUE(OpenBeatCapture());
    uint64_t position = 0;
    QueueTone(1, 220.0, 0.3f, position, 4800);
    PumpBeat();
    EXPECT_EQ(beatCapture.framesCaptured, 4800u);
}
}  // namespace
