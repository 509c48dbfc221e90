// The beat pump over scripted capture packets: what reaches the beat ring,
// through the real filter and the real SoundTouch shifter.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "devices/beat_capture.h"
#include "devices/player_mode.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "platform/scripted/scripted_platform.h"
#include "tools/synth/signals.h"

namespace {
const AudioEndpoint kSpeakers{"Speakers_Builtin", "Speakers (High Definition Audio)"};
const AudioEndpoint kCable{"CABLE_Input", "CABLE Input (VB-Audio Virtual Cable)"};

ScriptedPacket Tone(uint32_t frames, double hz, float level, uint64_t& position) {
    ScriptedPacket p;
    for (uint32_t i = 0; i < frames; ++i, ++position) {
        const float v = level * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(position) / 48000.0));
        p.samples.push_back(v);
        p.samples.push_back(v);
    }
    return p;
}

class BeatPump : public ::testing::Test {
protected:
    void SetUp() override {
        ResetScriptedPlatform();
        InitEngine();
        InitBeatCapture();
        SetBeatTone(0.0f);
        miniPlayerActive = false;
        scripted.render.endpoints = {kSpeakers, kCable};
    }
    void TearDown() override { CloseBeatCapture(); }

    // Takes everything the ring holds, as a consumer reading whole requests.
    static void Drain(std::vector<float>& left) {
        const int64_t fill = BeatRingFill() & ~int64_t{1};
        std::vector<float> block(static_cast<size_t>(fill));
        if (fill > 0 && ReadBeatRing(block.data(), fill, BeatReader::Studio) == fill) {
            for (int64_t i = 0; i < fill; i += 2) left.push_back(block[static_cast<size_t>(i)]);
        }
    }

    // Plays `seconds` of a tone in 10 ms packets, pumping and draining after each.
    static std::vector<float> PlayThrough(double hz, double seconds) {
        std::vector<float> left;
        uint64_t position = 0;
        for (int p = 0; p < static_cast<int>(seconds * 100); ++p) {
            scripted.captureStream.packets.push_back(Tone(480, hz, 0.5f, position));
            PumpBeat();
            Drain(left);
        }
        return left;
    }
};

TEST_F(BeatPump, TheCableIsFoundAmongTheOutputsByItsName) {
    std::string id, name;
    ASSERT_TRUE(FindCableEndpoint(id, name));
    EXPECT_EQ(id, kCable.id);
    scripted.render.endpoints = {kSpeakers, {"cable_lower", "cable input (lower case)"}};
    EXPECT_FALSE(FindCableEndpoint(id, name));
    scripted.capture.endpoints = {{"CABLE_Output", "CABLE Output (VB-Audio Virtual Cable)"}};
    EXPECT_FALSE(OpenBeatCapture());  // the cable's capture side is never used
    EXPECT_FALSE(beatCapture.beatCaptureReady);
    EXPECT_EQ(scripted.captureStream.opens, 0);
}

TEST_F(BeatPump, OpensTheLoopbackOfTheCablesOutput) {
    ASSERT_TRUE(OpenBeatCapture());
    EXPECT_TRUE(beatCapture.beatCaptureReady);
    EXPECT_EQ(scripted.captureStream.openedId, kCable.id);
    EXPECT_TRUE(scripted.captureStream.openedLoopback);
    scripted.captureStream.openFails = true;
    EXPECT_FALSE(OpenBeatCapture());
    EXPECT_FALSE(beatCapture.beatCaptureReady);
    EXPECT_FALSE(scripted.captureStream.open);
}

TEST_F(BeatPump, TwoSemitonesUpKeepsTheTempo) {
    ASSERT_TRUE(OpenBeatCapture());
    EXPECT_EQ(SetBeatTone(2.0f), 2.0f);
    const std::vector<float> out = PlayThrough(440.0, 4.0);
    // The shifter holds its latency; everything else comes out at the rate it went in.
    EXPECT_NEAR(static_cast<double>(out.size()), 4.0 * 48000 - BeatShifterInitialLatencyFrames(), 2400.0);
    EXPECT_NEAR(EstimateFrequency(out, 24000, out.size()), 440.0 * std::pow(2.0, 2.0 / 12.0), 0.5);
    EXPECT_GT(engine.cablePeak.load(), 0.45f);  // the last packet's peak, or the one before decayed
}

TEST_F(BeatPump, AToneChangeKeepsTheBeatFlowing) {
    ASSERT_TRUE(OpenBeatCapture());
    std::vector<float> out = PlayThrough(440.0, 1.0);
    const size_t before = out.size();
    EXPECT_EQ(SetBeatTone(5.0f), 3.0f);
    EXPECT_EQ(SetBeatTone(-1.5f), -1.5f);
    EXPECT_EQ(SetBeatTone(NAN), 0.0f);
    const std::vector<float> after = PlayThrough(440.0, 1.0);
    EXPECT_NEAR(static_cast<double>(after.size()), 48000.0, 2400.0);  // no reset, no gap
    EXPECT_GT(before, 0u);
}

TEST_F(BeatPump, SilentPacketsAreDroppedAndTheRingKeepsItsLatencyLimit) {
    ASSERT_TRUE(OpenBeatCapture());
    ScriptedPacket silent;
    silent.samples.assign(2 * 480, 0.0f);
    silent.silent = true;
    scripted.captureStream.packets.push_back(silent);
    PumpBeat();
    EXPECT_EQ(beatCapture.silentPackets, 1u);
    EXPECT_EQ(beatCapture.framesCaptured, 0u);
    EXPECT_EQ(scripted.captureStream.releases, 1);

    uint64_t position = 0;
    for (int i = 0; i < 50; ++i) scripted.captureStream.packets.push_back(Tone(480, 220.0, 0.3f, position));
    PumpBeat();  // half a second at once, nobody reading
    // Studio keeps 70 ms, or the shifter's two bursts and two UI frames when that is more.
    const int64_t burst = 2 * BeatShifterBurstFrames();
    const int64_t studioLimit = std::max<int64_t>(6720, 2 * burst + 3200);
    EXPECT_LE(engine.beatRingCushion.load(), burst + 3200);
    EXPECT_LE(BeatRingFill(), studioLimit);
    EXPECT_GT(beatCapture.samplesTrimmed, 0u);
    miniPlayerActive = true;
    for (int i = 0; i < 50; ++i) scripted.captureStream.packets.push_back(Tone(480, 220.0, 0.3f, position));
    PumpBeat();
    EXPECT_GT(BeatRingFill(), studioLimit);
    EXPECT_LE(BeatRingFill(), 19200);
    EXPECT_EQ(BeatRingFill() % 2, 0);
}

TEST_F(BeatPump, TheCushionFollowsHowOftenThePumpComes) {
    ASSERT_TRUE(OpenBeatCapture());
    const int64_t burst = 2 * BeatShifterBurstFrames();
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PumpBeat();
    }
    EXPECT_GE(engine.beatRingCushion.load(), burst + 2 * 2880);  // two gaps of at least 30 ms
    for (int i = 0; i < 400; ++i) PumpBeat();  // a pump as fast as it goes
    EXPECT_LT(engine.beatRingCushion.load(), burst + 3200);
    EXPECT_GE(engine.beatRingCushion.load(), burst + 2 * 96);
}

TEST_F(BeatPump, WithoutACaptureThePeakDecays) {
    engine.cablePeak = 1.0f;
    PumpBeat();
    PumpBeat();
    EXPECT_FLOAT_EQ(engine.cablePeak.load(), 0.94f * 0.94f);
}

TEST_F(BeatPump, ALostStreamIsClosedAndTheNextOpenWorks) {
    ASSERT_TRUE(OpenBeatCapture());
    scripted.captureStream.lost = true;
    PumpBeat();
    EXPECT_FALSE(beatCapture.beatCaptureReady);
    EXPECT_FALSE(scripted.captureStream.open);
    EXPECT_EQ(beatCapture.streamsLost, 1u);
    PumpBeat();  // nothing to do, nothing breaks
    ASSERT_TRUE(OpenBeatCapture());
    uint64_t position = 0;
    scripted.captureStream.packets.push_back(Tone(4800, 220.0, 0.3f, position));
    PumpBeat();
    EXPECT_EQ(beatCapture.framesCaptured, 4800u);
}
}  // namespace
