// The Mini output over a scripted output: where it opens, what its thread writes, and a stop that leaves none.
#include "tests/devices/device_world.h"

namespace {
class MiniOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        scripted.render.endpoints = {kCable, kSpeakers, kHeadphones};
        scripted.render.defaultId = kSpeakers.id;
        scripted.renderStream.spacePerCall = 64;  // the device is nearly full
        miniOutput.silentPasses = miniOutput.streamsLost = 0;
        HandBeatRingTo(BeatReader::Mini);  // so the beat a test queues before opening stays
    }
    void TearDown() override { StopMiniOutput(); }
    // Queues a beat of +value/-value frames at `volume`, plays it in blocks of `space` and gives the first one.
    template <typename T>
    static T PlayedAfterPreRoll(size_t samples, float value, float volume, uint32_t space) {
        std::vector<float> beat(samples, value);
        for (size_t i = 1; i < samples; i += 2) beat[i] = -value;
        WriteBeatRing(beat.data(), static_cast<int64_t>(samples));
        engine.beatVolume = volume;
        scripted.renderStream.spacePerCall = space;
        scripted.renderStream.framesWritten = 0;
        scripted.renderStream.written.clear();
        EXPECT_TRUE(OpenMiniOutput(kSpeakers.id, false));
        EXPECT_TRUE(Eventually([space] { return scripted.renderStream.framesWritten.load() >= 672 + 4 * space; }));
        StopMiniOutput();
        const std::lock_guard<std::mutex> lock(scripted.renderStream.writtenLock);
        const T* written = reinterpret_cast<const T*>(scripted.renderStream.written.data());
        EXPECT_TRUE(written[0] == 0 && written[2 * 671 + 1] == 0) << "half a buffer of silence first";
        return written[2 * 672];
    }
};

TEST_F(MiniOutputTest, OpensTheChosenOrDefaultEndpointButNeverTheCableSavesWhatPlaysAndAStopEndsItsThread) {
    const std::tuple<std::string, std::string, bool, std::string, uint32_t> cases[] = {
        {"", kCable.id, false, kSpeakers.id, 1344},  // the first entry that is not the cable
        {"unplugged", kSpeakers.id, true, kSpeakers.id, 3840},
        {kHeadphones.id, kSpeakers.id, false, kHeadphones.id, 1344}};
    for (const auto& [asked, defaultId, profile, opened, bufferFrames] : cases) {
        SCOPED_TRACE(asked);
        scripted.render.defaultId = defaultId;
        ASSERT_TRUE(OpenMiniOutput(asked, profile));
        EXPECT_TRUE(miniOutput.openedId == opened && miniOutput.bufferFrames == bufferFrames);
        StopMiniOutput();
        EXPECT_FALSE(miniOutput.thread.joinable() || scripted.renderStream.open.load()) << "its thread has ended";
    }
    appConfig.miniOutputMode = 1;
    appConfig.miniOutputId = kCable.id;  // selected, but never opened: what plays instead is saved
    ASSERT_TRUE(RunDeviceOperation(OpenSelectedMiniOutput));
    EXPECT_TRUE(engine.beatRingPrefill.load() == 4800 && StoredConfigValue("mini_output_id") == kSpeakers.id);
    scripted.renderStream.openFails = true;
    EXPECT_FALSE(RunDeviceOperation(OpenSelectedMiniOutput) || IsMiniOutputRunning());
    scripted.render.endpoints = {kCable};
    EXPECT_FALSE(OpenMiniOutput("", false) || IsMiniOutputRunning() || !miniOutput.openedId.empty());
}

TEST_F(MiniOutputTest, PlaysTheBeatAtItsVolumeInFloatOrTheOutputsOwnSixteenBits) {
    engine.beatRingPrefill = 960;
    EXPECT_FLOAT_EQ(PlayedAfterPreRoll<float>(9600, 0.5f, 0.5f, 240), 0.25f);
    EXPECT_TRUE(engine.beatPeak.load() > 0.2f && engine.beatPeak.load() <= 0.25f) << "0.25, decaying once dry";
    scripted.renderStream.floatRefused = true;
    scripted.renderStream.endpointFormat = {48000, 2, SampleFormat::Int16, 2};
    EXPECT_EQ(PlayedAfterPreRoll<int16_t>(4800, 0.75f, 2.0f, 100), 32767);
    EXPECT_TRUE(scripted.renderStream.endpointFormatUsed && miniOutput.format.sample == SampleFormat::Int16);
}

TEST_F(MiniOutputTest, ADryRingIsPrimedAgainTheDeviceGetsSilenceOnlyWhenNearlyEmptyAndALostOutputEndsTheThread) {
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(miniOutput.silentPasses.load() == 0u && scripted.renderStream.framesWritten.load() == 672u);
    const int64_t target = 960 + 2 * 1008;  // the prefill and the three quarters of the buffer the device takes
    const std::vector<float> beat(target, 0.5f);
    WriteBeatRing(beat.data(), target - 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(scripted.renderStream.framesWritten.load(), 672u) << "the gate waits for the whole target";
    WriteBeatRing(beat.data(), 100);
    ASSERT_TRUE(Eventually([&] { return scripted.renderStream.framesWritten.load() == 672u + target / 2; }));
    EXPECT_EQ(engine.beatRingReprimes.load(), 1u) << "the pass that emptied the ring shut its gate";
    WriteBeatRing(beat.data(), 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(scripted.renderStream.framesWritten.load(), 672u + target / 2) << "50 frames wait for the rest";
    WriteBeatRing(beat.data(), target - 100);
    ASSERT_TRUE(Eventually([&] { return scripted.renderStream.framesWritten.load() == 672u + target; }));
    scripted.renderStream.spacePerCall = 1344;  // the device ran empty
    ASSERT_TRUE(Eventually([] { return miniOutput.silentPasses.load() >= 3; }));
    EXPECT_EQ(engine.beatRingReprimes.load(), 2u);
    scripted.renderStream.lost = true;
    ASSERT_TRUE(Eventually([] { return !IsMiniOutputRunning(); }));
    EXPECT_TRUE(miniOutput.streamLost.load() && miniOutput.streamsLost.load() == 1u);
    scripted.renderStream.lost = false;
    ASSERT_TRUE(OpenMiniOutput(kSpeakers.id, false));
    EXPECT_FALSE(miniOutput.streamLost.load());
}
}  // namespace
