// The Mini output over a scripted output: where it opens, what the render
// thread writes in each format, and that a stop leaves no thread behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "devices/endpoint_selection.h"
#include "devices/mini_output.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/scripted/scripted_platform.h"
#include "tests/devices/device_world.h"

namespace {
using namespace std::chrono_literals;
const AudioEndpoint kSpeakers{"Speakers_Builtin", "Speakers (High Definition Audio)"};
const AudioEndpoint kCable{"CABLE_Input", "CABLE Input (VB-Audio Virtual Cable)"};
const AudioEndpoint kHeadphones{"bt_headphones", "Tai nghe Bluetooth"};

StreamFormat Format(SampleFormat sample, uint32_t channels, uint32_t bytes) {
    StreamFormat f;
    f.sample = sample;
    f.channels = channels;
    f.bytesPerSample = bytes;
    return f;
}

TEST(RenderMiniFrames, FloatGetsTheBeatTimesTheVolumeUnclipped) {
    const float beat[] = {0.5f, -0.25f, 0.9f, 0.1f};
    float out[12];
    EXPECT_FLOAT_EQ(RenderMiniFrames(beat, 2, Format(SampleFormat::Float32, 2, 4), 1.5f, out), 1.35f);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_FLOAT_EQ(out[1], -0.375f);
    EXPECT_FLOAT_EQ(out[2], 1.35f);
    RenderMiniFrames(beat, 2, Format(SampleFormat::Float32, 6, 4), 1.0f, out);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.25f);
    for (int c = 2; c < 6; ++c) EXPECT_FLOAT_EQ(out[c], 0.125f) << c;
    EXPECT_FLOAT_EQ(out[8], 0.5f);
}

TEST(RenderMiniFrames, SixteenBitIsClippedAndTruncated) {
    const float beat[] = {0.9f, -0.5f, 0.3f, 0.00001f};
    int16_t out[6];
    EXPECT_FLOAT_EQ(RenderMiniFrames(beat, 2, Format(SampleFormat::Int16, 3, 2), 1.5f, out), 1.0f);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -24575);  // -0.75 truncated toward zero
    EXPECT_EQ(out[2], 4095);    // (1 - 0.75) / 2
    EXPECT_EQ(out[3], 14745);
    EXPECT_EQ(out[4], 0);
}

TEST(RenderMiniFrames, OtherFormatsGetSilence) {
    const float beat[] = {0.9f, 0.9f};
    uint8_t out[6];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(RenderMiniFrames(beat, 1, Format(SampleFormat::Other, 2, 3), 1.0f, out), 0.0f);
    for (uint8_t b : out) EXPECT_EQ(b, 0);
}

class MiniOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        scripted.render.endpoints = {kCable, kSpeakers, kHeadphones};
        scripted.render.defaultId = kSpeakers.id;
        HandBeatRingTo(BeatReader::Mini);  // so the beat a test queues before opening stays
    }
    void TearDown() override {
        StopMiniOutput();
        EXPECT_FALSE(miniOutput.thread.joinable());
    }
};

TEST_F(MiniOutputTest, NeverPlaysIntoTheCable) {
    ASSERT_TRUE(OpenMiniOutput(kCable.id, false));
    EXPECT_EQ(miniOutput.openedId, kSpeakers.id);
    scripted.render.defaultId = kCable.id;
    ASSERT_TRUE(OpenMiniOutput("", false));
    EXPECT_EQ(miniOutput.openedId, kSpeakers.id);  // the first entry that is not the cable
    scripted.render.endpoints = {kCable};
    EXPECT_FALSE(OpenMiniOutput("", false));
    EXPECT_FALSE(IsMiniOutputRunning());
    EXPECT_EQ(miniOutput.openedId, "");
}

TEST_F(MiniOutputTest, AVanishedEndpointFallsBackToTheDefault) {
    ASSERT_TRUE(OpenMiniOutput("unplugged", true));
    EXPECT_EQ(miniOutput.openedId, kSpeakers.id);
    EXPECT_EQ(miniOutput.bufferFrames, 3840u);
    ASSERT_TRUE(OpenMiniOutput(kHeadphones.id, false));
    EXPECT_EQ(miniOutput.openedId, kHeadphones.id);
    EXPECT_EQ(miniOutput.bufferFrames, 1344u);
}

TEST_F(MiniOutputTest, PlaysTheBeatAtItsVolumeAfterHalfABufferOfSilence) {
    engine.beatRingPrefill = 960;
    std::vector<float> beat(9600);
    for (size_t i = 0; i < beat.size(); ++i) beat[i] = (i % 2 == 0) ? 0.5f : -0.5f;
    WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
    engine.beatVolume = 0.5f;
    scripted.renderStream.spacePerCall = 240;
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    ASSERT_TRUE(Eventually([] { return scripted.renderStream.framesWritten.load() >= 672 + 4 * 240; }));
    StopMiniOutput();
    const std::lock_guard<std::mutex> lock(scripted.renderStream.writtenLock);
    const auto* out = reinterpret_cast<const float*>(scripted.renderStream.written.data());
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[2 * 671 + 1], 0.0f);
    EXPECT_FLOAT_EQ(out[2 * 672], 0.25f);
    EXPECT_FLOAT_EQ(out[2 * 672 + 1], -0.25f);
    EXPECT_GT(engine.beatPeak.load(), 0.2f);  // 0.25, decaying once the ring ran dry
    EXPECT_LE(engine.beatPeak.load(), 0.25f);
}

TEST_F(MiniOutputTest, AnOutputRefusingFloatIsPlayedInItsOwnSixteenBitFormat) {
    scripted.renderStream.floatRefused = true;
    scripted.renderStream.endpointFormat = Format(SampleFormat::Int16, 2, 2);
    std::vector<float> beat(4800, 0.75f);
    WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
    engine.beatVolume = 2.0f;
    scripted.renderStream.spacePerCall = 100;
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    EXPECT_TRUE(scripted.renderStream.endpointFormatUsed);
    EXPECT_EQ(miniOutput.format.sample, SampleFormat::Int16);
    ASSERT_TRUE(Eventually([] { return scripted.renderStream.framesWritten.load() >= 672 + 100; }));
    StopMiniOutput();
    const std::lock_guard<std::mutex> lock(scripted.renderStream.writtenLock);
    const auto* out = reinterpret_cast<const int16_t*>(scripted.renderStream.written.data());
    EXPECT_EQ(out[2 * 672], 32767);
}

TEST_F(MiniOutputTest, ADryRingWaitsWhileTheDeviceHasAudioThenPlaysSilence) {
    scripted.renderStream.spacePerCall = 64;  // the device is nearly full
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(miniOutput.silentPasses.load(), 0u);
    EXPECT_EQ(scripted.renderStream.framesWritten.load(), 672u);  // the pre-roll only

    std::vector<float> beat(100, 0.5f);  // 50 frames: less than the device asks for
    WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
    engine.beatRingPriming = false;
    ASSERT_TRUE(Eventually([] { return scripted.renderStream.framesWritten.load() == 672u + 50u; }));

    scripted.renderStream.spacePerCall = 1344;  // the device ran empty
    ASSERT_TRUE(Eventually([] { return miniOutput.silentPasses.load() >= 3; }));
    EXPECT_TRUE(IsMiniOutputRunning());
}

TEST_F(MiniOutputTest, ALostOutputEndsTheThreadAndSaysSo) {
    scripted.renderStream.spacePerCall = 64;
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    scripted.renderStream.lost = true;
    ASSERT_TRUE(Eventually([] { return !IsMiniOutputRunning(); }));
    EXPECT_TRUE(miniOutput.streamLost.load());
    StopMiniOutput();
    EXPECT_FALSE(scripted.renderStream.open.load());
    scripted.renderStream.lost = false;
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    EXPECT_FALSE(miniOutput.streamLost.load());
}

TEST_F(MiniOutputTest, AStopEndsTheThreadBeforeTheStreamIsReleased) {
    scripted.renderStream.spacePerCall = 64;
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(OpenMiniOutput(round % 2 ? kSpeakers.id : kHeadphones.id, round % 3 == 0));
        StopMiniOutput();
        EXPECT_FALSE(miniOutput.thread.joinable());
        EXPECT_FALSE(scripted.renderStream.open.load());
        const uint64_t written = scripted.renderStream.framesWritten.load();
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(scripted.renderStream.framesWritten.load(), written);  // nothing writes after the stop
    }
}

TEST_F(MiniOutputTest, TheSelectedOpenPrimesForTheProfileAndKeepsTheOpenedId) {
    appConfig.miniOutputMode = 1;
    appConfig.miniOutputId = "gone";
    ASSERT_TRUE(OpenMiniOutputAsApp());
    EXPECT_EQ(engine.beatRingPrefill.load(), 4800);
    EXPECT_EQ(appConfig.miniOutputId, kSpeakers.id);
    appConfig.miniOutputMode = 0;
    ASSERT_TRUE(OpenMiniOutputAsApp());
    EXPECT_EQ(engine.beatRingPrefill.load(), 1920);
    scripted.renderStream.openFails = true;
    EXPECT_FALSE(OpenMiniOutputAsApp());
    EXPECT_FALSE(IsMiniOutputRunning());
}
}  // namespace
