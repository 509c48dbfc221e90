// The Direct Mic Bridge over scripted packets: the channel, a lost microphone, and which endpoint is bridged at all.
#include "engine/bridge_ring.h"
#include "tests/devices/device_world.h"

namespace {
class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        scripted.capture.endpoints = {kCableCapture, kUsbMic};
    }
    void TearDown() override {
        StopMicBridge();
        EXPECT_FALSE(micBridge.thread.joinable());
    }
    static void Queue(std::vector<float> samples, bool silent = false) {
        const std::lock_guard<std::mutex> lock(scripted.captureStream.packetsLock);
        scripted.captureStream.packets.push_back({std::move(samples), silent});
    }
    static bool Captured(uint64_t frames) {
        return Eventually([frames] { return engine.bridgeFramesCaptured.load() == frames; });
    }
};

TEST_F(Bridge, TheChosenOrStrongerChannelReachesTheRingPacketByPacket) {
    // The microphone's channels, the channel mode, the packets, and what reaches the ring.
    const std::tuple<uint32_t, int32_t, std::vector<std::vector<float>>, std::vector<float>> cases[] = {
        {2, 1, {{0.1f, 0.9f}}, {0.1f}},
        {2, 2, {{0.9f, 0.1f}}, {0.1f}},
        {1, 2, {{0.25f, 1.5f}}, {0.25f, 1.0f}},  // CH2 on a mono microphone is CH1, clamped
        {2, 0, {{0.1f, 0.5f, -0.1f, -0.4f}, {0.6f, 0.2f, 0.3f, 0.1f}}, {0.5f, -0.4f, 0.6f, 0.3f}}};
    for (const auto& [channels, mode, packets, expected] : cases) {
        SCOPED_TRACE(::testing::Message() << channels << " channels, mode " << mode);
        scripted.captureStream.endpointChannels = channels;
        ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
        EXPECT_EQ(scripted.captureStream.openedFormat.channels, channels);
        micBridge.bridgeChannelMode = mode;
        for (const auto& packet : packets) Queue(packet);
        ASSERT_TRUE(Captured(expected.size()));
        std::vector<float> ring(expected.size(), -9.0f);
        ReadBridgeBlock(ring.data(), static_cast<uint32_t>(ring.size()));
        EXPECT_EQ(ring, expected);
    }
    EXPECT_EQ(micBridge.deviceName, kUsbMic.id) << "not in a refreshed list: the id stands in";
    EXPECT_EQ(micBridge.bridgeDeviceChannels.load(), 2u);
    EXPECT_FLOAT_EQ(micBridge.bridgePeakCh1.load(), 0.6f);
    EXPECT_FLOAT_EQ(micBridge.bridgePeakCh2.load(), 0.5f * 0.92f);
    EXPECT_FALSE(UseSecondChannel(2, 0, 0.5f, 0.5f)) << "a tie is channel 1";
    Queue({0.3f, 0.3f}, true);  // a silent packet of a stereo microphone carries no samples
    EXPECT_TRUE(Captured(5));
}

TEST_F(Bridge, AFullRingDropsTheNewestAndALostMicrophoneHandsTheVoiceBack) {
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    for (int p = 0; p < 20; ++p) Queue(std::vector<float>(2 * 1000, 0.2f));
    ASSERT_TRUE(Captured(20000));
    EXPECT_EQ(engine.bridgeFillFrames.load(), 16383u) << "the newest dropped, the count goes on";
    engine.micBridgeEnabled = true;
    engine.micBridgeRunning = true;
    scripted.captureStream.lost = true;
    ASSERT_TRUE(Eventually([] { return !IsMicBridgeRunning(); }));
    EXPECT_TRUE(micBridge.deviceLost.load());
    EXPECT_FALSE(engine.micBridgeEnabled.load() || engine.micBridgeRunning.load());
    StopMicBridge();
    float left = -9.0f;
    EXPECT_TRUE(!scripted.captureStream.open && ReadBridgeBlock(&left, 1) == 0u) << "what it left is flushed";
}

TEST_F(Bridge, OnlyAnOpenableRealMicrophoneOrTheUsersChoiceIsBridgedAndKept) {
    EXPECT_FALSE(OpenMicBridge("") || OpenMicBridge("unplugged"));
    scripted.captureStream.openFails = true;
    EXPECT_FALSE(OpenMicBridge(kUsbMic.id) || IsMicBridgeRunning() || micBridge.openedId != "");
    scripted.captureStream.openFails = false;
    scripted.captureStream.opens = 0;
    scripted.capture.endpoints = {kCableCapture, kStereoMix, {"wuh", "What U Hear"}, {"nv", "Mic (NVIDIA Broadcast)"}};
    EXPECT_FALSE(RunDeviceOperation(StartSelectedMicBridge) || IsMicBridgeRunning() ||
                 scripted.captureStream.opens != 0);
    EXPECT_EQ(appConfig.wasapiMicInputId, "") << "nothing stored";
    scripted.capture.endpoints.push_back(kUsbMic);  // plugged in later, the real microphone is the one bridged
    appConfig.wasapiMicChannel = 7;
    ASSERT_TRUE(RunDeviceOperation(StartSelectedMicBridge));
    EXPECT_TRUE(micBridge.openedId == kUsbMic.id && micBridge.deviceName == kUsbMic.name);
    EXPECT_TRUE(appConfig.wasapiMicInputId == kUsbMic.id && micBridge.bridgeChannelMode.load() == 2);
    appConfig.wasapiMicInputId = kStereoMix.id;  // a monitor the user chose on purpose stays the user's choice
    ASSERT_TRUE(RunDeviceOperation(StartSelectedMicBridge));
    EXPECT_EQ(micBridge.openedId, kStereoMix.id);
}
}  // namespace
