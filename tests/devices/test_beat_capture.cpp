// The beat pump over scripted capture packets, through the real filter and the real SoundTouch shifter.
#include <cmath>

#include "devices/beat_capture.h"
#include "engine/beat_tone.h"
#include "tests/devices/device_world.h"
#include "tools/synth/signals.h"

namespace {
class BeatPump : public ::testing::Test {
protected:
    uint64_t position = 0;
    float sideError = 0.0f;  // how far the right channel strayed from the inverted left
    void SetUp() override {
        ResetDeviceWorld();
        InitBeatCapture();
        SetBeatTone(0.0f);
        scripted.render.endpoints = {kSpeakers, kCable};
    }
    void TearDown() override { CloseBeatCapture(); }
    // Queues `packets` packets of a tone, inverted on the right, each `frames` long, then pumps.
    void Pump(int packets, double hz, uint32_t frames = 480) {
        for (int p = 0; p < packets; ++p) {
            ScriptedPacket& packet = scripted.captureStream.packets.emplace_back();
            for (uint32_t i = 0; i < frames; ++i, ++position) {
                const float v = 0.5f * static_cast<float>(std::sin(2 * M_PI * hz * position / 48000.0));
                packet.samples.insert(packet.samples.end(), {v, -v});
            }
        }
        PumpBeat();
    }
    // Plays `seconds` of a tone in 10 ms packets, a consumer taking the left channel after each.
    std::vector<float> PlayThrough(double hz, double seconds) {
        std::vector<float> left, block;
        for (int p = 0; p < static_cast<int>(seconds * 100); ++p) {
            Pump(1, hz);
            const int64_t fill = BeatRingFill() & ~int64_t{1};
            block.resize(static_cast<size_t>(fill));
            if (ReadBeatRing(block.data(), fill, BeatReader::Studio) != fill) continue;
            for (size_t i = 0; i < block.size(); i += 2) {
                left.push_back(block[i]);
                sideError = std::max(sideError, std::fabs(block[i] + block[i + 1]));
            }
        }
        return left;
    }
};

TEST_F(BeatPump, TwoSemitonesUpKeepTheTempoAndAToneChangeKeepsTheBeatFlowing) {
    ASSERT_TRUE(OpenBeatCapture());
    SetBeatTone(2.0f);
    const std::vector<float> out = PlayThrough(440.0, 4.0);
    // The shifter holds its latency; everything else comes out at the rate it went in.
    EXPECT_NEAR(static_cast<double>(out.size()), 4.0 * 48000 - BeatShifterInitialLatencyFrames(), 2400.0);
    EXPECT_NEAR(EstimateFrequency(out, 24000, out.size()), 440.0 * std::pow(2.0, 2.0 / 12.0), 0.5);
    EXPECT_GT(engine.cablePeak.load(), 0.45f);
    EXPECT_LT(sideError, 1e-3f) << "each side stays on its side";
    SetBeatTone(-1.5f);
    EXPECT_NEAR(static_cast<double>(PlayThrough(440.0, 1.0).size()), 48000.0, 2400.0) << "no reset, no gap";
}

TEST_F(BeatPump, SilentPacketsAreDroppedAndTheRingKeepsItsLatencyLimit) {
    ASSERT_TRUE(OpenBeatCapture());
    scripted.captureStream.packets.push_back({std::vector<float>(2 * 480), true});
    PumpBeat();
    EXPECT_TRUE(beatCapture.silentPackets == 1u && beatCapture.framesCaptured == 0u);
    Pump(50, 220.0);  // half a second at once, nobody reading: Studio keeps 70 ms, or two bursts and two UI frames
    const int64_t studioLimit = std::max<int64_t>(6720, 4 * BeatShifterBurstFrames() + 3200);
    EXPECT_TRUE(BeatRingFill() <= studioLimit && beatCapture.samplesTrimmed > 0u);
    miniPlayerActive = true;
    Pump(50, 220.0);
    EXPECT_TRUE(BeatRingFill() > studioLimit && BeatRingFill() <= 19200 && BeatRingFill() % 2 == 0) << BeatRingFill();
}

TEST_F(BeatPump, OpensTheLoopbackOfTheCablesOutputFoundByItsNameAndALostStreamIsClosedUntilTheNextOpen) {
    ASSERT_TRUE(OpenBeatCapture());
    EXPECT_TRUE(beatCapture.beatCaptureReady && scripted.captureStream.openedLoopback);
    EXPECT_EQ(scripted.captureStream.openedId, kCable.id);
    scripted.captureStream.lost = true;
    PumpBeat();
    EXPECT_FALSE(beatCapture.beatCaptureReady || scripted.captureStream.open || beatCapture.streamsLost != 1u);
    engine.cablePeak = 1.0f;
    PumpBeat();  // without a capture: nothing breaks, the peak decays
    PumpBeat();
    EXPECT_FLOAT_EQ(engine.cablePeak.load(), 0.94f * 0.94f);
    ASSERT_TRUE(OpenBeatCapture());
    Pump(1, 220.0, 4800);
    EXPECT_EQ(beatCapture.framesCaptured, 4800u);
    scripted.captureStream.openFails = true;
    EXPECT_FALSE(OpenBeatCapture() || beatCapture.beatCaptureReady || scripted.captureStream.open);
    scripted.captureStream.openFails = false;
    scripted.render.endpoints = {kSpeakers, {"cable_lower", "cable input (lower case)"}};
    scripted.capture.endpoints = {kCableCapture};  // the cable's capture side is never used
    EXPECT_FALSE(OpenBeatCapture());
}
}  // namespace
