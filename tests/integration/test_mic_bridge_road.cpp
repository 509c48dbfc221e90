// The Direct Mic Bridge on the PulseAudio test server: a tone played into
// the sink behind a microphone source arrives in the bridge ring as the
// callback reads it, and a source that goes away ends the bridge.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "devices/mic_bridge.h"
#include "engine/bridge_ring.h"
#include "engine/engine_params.h"
#include "tests/support/shell.h"
#include "tests/support/stolen_time.h"
#include "tools/synth/signals.h"

namespace {
using namespace std::chrono_literals;

class MicBridgeRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "start the test server first (scripts/test.sh does)";
        InitEngine();
    }
    void TearDown() override { StopMicBridge(); }

    // Reads the ring in 128-sample blocks at the sound card's pace, as the callback does.
    static std::vector<float> ReadLikeTheCallback(std::chrono::milliseconds length) {
        std::vector<float> heard;
        float block[128];
        const auto start = std::chrono::steady_clock::now();
        for (int b = 0; std::chrono::steady_clock::now() - start < length; ++b) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(b * 2667));
            const uint32_t got = ReadBridgeBlock(block, 128);
            heard.insert(heard.end(), block, block + got);
        }
        return heard;
    }
};

TEST_F(MicBridgeRoad, AToneIntoTheMicrophoneReachesTheCallback) {
    ASSERT_TRUE(OpenMicBridge("USB_Mic"));
    EXPECT_EQ(micBridge.bridgeDeviceChannels.load(), 2u);
    Shell("sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 3 sine 330 vol 0.4 | "
          "pacat --playback -d mic_feed --format=float32le --rate=48000 --channels=2 --raw >/dev/null 2>&1 &");
    const CpuTimes cpu = ReadCpuTimes();
    const std::vector<float> heard = ReadLikeTheCallback(2500ms);
    ASSERT_GT(heard.size(), 48000u);
    SKIP_WHEN_TIME_WAS_STOLEN(StolenShareSince(cpu));
    // The reader keeps its own clock, so the backlog cut and short reads shift the pitch a little.
    EXPECT_NEAR(EstimateFrequency(heard, heard.size() - 48000, heard.size()), 330.0, 1.5);
    EXPECT_GT(micBridge.bridgePeakCh1.load(), 0.3f);
    EXPECT_LE(engine.bridgeFillFrames.load(), EngineParams::bridgeLatencyCut + 1440);
    std::this_thread::sleep_for(800ms);
}

TEST_F(MicBridgeRoad, ASourceThatGoesAwayEndsTheBridge) {
    std::string module = Shell(
        "pactl load-module module-remap-source source_name=Mic_Tam master=mic_feed.monitor "
        "\"source_properties=\\\"device.description='Micro tạm thời'\\\"\"");
    while (!module.empty() && module.back() == '\n') module.pop_back();
    ASSERT_FALSE(module.empty());
    ASSERT_TRUE(OpenMicBridge("Mic_Tam"));
    engine.micBridgeEnabled = true;
    engine.micBridgeRunning = true;
    Shell("pactl unload-module " + module);
    for (int i = 0; i < 300 && IsMicBridgeRunning(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_TRUE(micBridge.deviceLost.load());
    EXPECT_FALSE(engine.micBridgeEnabled.load());
    EXPECT_FALSE(OpenMicBridge("Mic_Tam"));
}
}  // namespace
