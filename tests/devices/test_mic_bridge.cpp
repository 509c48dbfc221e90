// The Direct Mic Bridge over scripted capture packets: which channel reaches
// the bridge ring, the meters and counters, a lost microphone, and which
// endpoint is bridged at all.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "engine/bridge_ring.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/scripted/scripted_platform.h"
#include "tests/devices/device_world.h"

namespace {
using namespace std::chrono_literals;
const AudioEndpoint kUsbMic{"usb_mic", "Microphone (USB Audio Device)"};
const AudioEndpoint kCableOut{"cable_out", "CABLE Output (VB-Audio Virtual Cable)"};
const AudioEndpoint kStereoMix{"mix", "Stereo Mix (Realtek Audio)"};

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        scripted.capture.endpoints = {kCableOut, kUsbMic};
    }
    void TearDown() override {
        StopMicBridge();
        EXPECT_FALSE(micBridge.thread.joinable());
    }
    static void Queue(std::vector<float> samples) {
        const std::lock_guard<std::mutex> lock(scripted.captureStream.packetsLock);
        scripted.captureStream.packets.push_back({std::move(samples), false});
    }
    static std::vector<float> Ring(uint32_t count) {
        std::vector<float> out(count, -9.0f);
        ReadBridgeBlock(out.data(), count);
        return out;
    }
};

TEST_F(Bridge, AutoTakesTheStrongerChannelPacketByPacket) {
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    EXPECT_EQ(scripted.captureStream.openedFormat.channels, 2u);
    EXPECT_EQ(micBridge.deviceName, kUsbMic.id);  // not in a refreshed list: the id stands in
    Queue({0.1f, 0.5f, -0.1f, -0.4f});  // the voice on the right
    Queue({0.6f, 0.2f, 0.3f, 0.1f});    // then on the left
    ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 4; }));
    EXPECT_EQ(Ring(4), (std::vector<float>{0.5f, -0.4f, 0.6f, 0.3f}));
    EXPECT_EQ(micBridge.bridgeDeviceChannels.load(), 2u);
    EXPECT_FLOAT_EQ(micBridge.bridgePeakCh1.load(), 0.6f);
    EXPECT_FLOAT_EQ(micBridge.bridgePeakCh2.load(), 0.5f * 0.92f);
}

TEST_F(Bridge, FixedChannelsAndAMonoMicrophone) {
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    micBridge.bridgeChannelMode = 1;
    Queue({0.1f, 0.9f});
    ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 1; }));
    micBridge.bridgeChannelMode = 2;
    Queue({0.9f, 0.1f});
    ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 2; }));
    EXPECT_EQ(Ring(2), (std::vector<float>{0.1f, 0.1f}));

    scripted.captureStream.endpointChannels = 1;
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    EXPECT_EQ(scripted.captureStream.openedFormat.channels, 1u);
    micBridge.bridgeChannelMode = 2;  // CH2 on a mono microphone is CH1
    Queue({0.25f, 1.5f});
    ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 2; }));
    EXPECT_EQ(Ring(2), (std::vector<float>{0.25f, 1.0f}));  // clamped
    EXPECT_FALSE(UseSecondChannel(1, 2, 0.0f, 1.0f));
    EXPECT_FALSE(UseSecondChannel(2, 0, 0.5f, 0.5f));  // a tie is channel 1
}

TEST_F(Bridge, AFullRingDropsTheNewestAndKeepsCounting) {
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    for (int p = 0; p < 20; ++p) Queue(std::vector<float>(2 * 1000, 0.2f));
    ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 20000; }));
    EXPECT_EQ(engine.bridgeFillFrames.load(), 16383u);
}

TEST_F(Bridge, ALostMicrophoneEndsTheBridgeAndHandsTheVoiceBack) {
    ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
    engine.micBridgeEnabled = true;
    engine.micBridgeRunning = true;
    scripted.captureStream.lost = true;
    ASSERT_TRUE(Eventually([] { return !IsMicBridgeRunning(); }));
    EXPECT_TRUE(micBridge.deviceLost.load());
    EXPECT_FALSE(engine.micBridgeEnabled.load());
    EXPECT_FALSE(engine.micBridgeRunning.load());
    StopMicBridge();
    EXPECT_FALSE(scripted.captureStream.open);
}

// The UI turns the bridged microphone off and on while the callback reads
// it on its own thread. Each capture sends its own number: the callback must
// never get an earlier capture's samples, and its read index is its alone.
TEST_F(Bridge, TheSourceGoesOffAndOnWhileTheCallbackReads) {
    std::atomic<bool> done{false};
    std::atomic<int> capture{0};
    long long stale = 0, foreignIndexWrites = 0, delivered = 0;
    std::thread callback([&] {
        std::vector<float> block(128);
        uint32_t lastRead = engine.bridgeReadIndex;
        while (!done.load()) {
            const int current = capture.load();
            if (!engine.micBridgeEnabled.load() || !engine.micBridgeRunning.load()) continue;
            if (engine.bridgeReadIndex.load() != lastRead) ++foreignIndexWrites;
            const uint32_t got = ReadBridgeBlock(block.data(), 128);
            lastRead = engine.bridgeReadIndex.load();
            for (uint32_t i = 0; i < got; ++i) stale += std::lround(block[i] * 1000.0f) < current;
            delivered += got;
        }
    });
    for (int c = 1; c <= 60; ++c) {
        BridgeSourceOff();
        capture = c;
        ASSERT_TRUE(OpenMicBridge(kUsbMic.id));
        engine.micBridgeRunning = true;
        engine.micBridgeEnabled = true;
        for (int p = 0; p < 4; ++p) Queue(std::vector<float>(2 * 480, static_cast<float>(c) / 1000.0f));
        ASSERT_TRUE(Eventually([] { return engine.bridgeFramesCaptured.load() == 4 * 480; }));
    }
    BridgeSourceOff();
    done = true;
    callback.join();
    EXPECT_EQ(stale, 0);
    EXPECT_EQ(foreignIndexWrites, 0);
    EXPECT_GT(delivered, 0);
}

TEST_F(Bridge, OnlyAnEndpointThatIsThereIsOpened) {
    EXPECT_FALSE(OpenMicBridge(""));
    EXPECT_FALSE(OpenMicBridge("unplugged"));
    scripted.captureStream.openFails = true;
    EXPECT_FALSE(OpenMicBridge(kUsbMic.id));
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_EQ(micBridge.openedId, "");
}

TEST_F(Bridge, TheSelectedMicrophoneIsBridgedAndKept) {
    appConfig.wasapiMicChannel = 7;
    ASSERT_TRUE(StartBridgeAsApp());
    EXPECT_EQ(micBridge.openedId, kUsbMic.id);
    EXPECT_EQ(micBridge.deviceName, kUsbMic.name);
    EXPECT_EQ(appConfig.wasapiMicInputId, kUsbMic.id);
    EXPECT_EQ(micBridge.bridgeChannelMode.load(), 2);
}

TEST_F(Bridge, NoRealMicrophoneMeansNoBridgeAndNothingStored) {
    scripted.capture.endpoints = {kCableOut, kStereoMix};
    EXPECT_FALSE(StartBridgeAsApp());
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_EQ(scripted.captureStream.opens, 0);
    EXPECT_EQ(appConfig.wasapiMicInputId, "");
    // Plugged in later, the real microphone is the one bridged.
    scripted.capture.endpoints = {kCableOut, kStereoMix, kUsbMic};
    ASSERT_TRUE(StartBridgeAsApp());
    EXPECT_EQ(micBridge.openedId, kUsbMic.id);
    // A monitor the user chose on purpose stays the user's choice.
    appConfig.wasapiMicInputId = kStereoMix.id;
    ASSERT_TRUE(StartBridgeAsApp());
    EXPECT_EQ(micBridge.openedId, kStereoMix.id);
}
}  // namespace
