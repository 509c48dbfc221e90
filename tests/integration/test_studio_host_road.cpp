// The Studio stream's host policy on the real drivers: RtAudio on the
// PulseAudio test server (and on the JACK dummy server when scripts/test.sh
// started one). Bring-up, buffer and driver switches while audio runs, a
// device that vanishes, a server restart, rapid requests, and the bridged
// microphone arriving at the Studio output.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/host_requests.h"
#include "app/device_actions.h"
#include "app/notices.h"
#include "devices/mic_bridge.h"
#include "devices/studio_stream.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/audio_streams.h"
#include "tests/support/private_server.h"
#include "tests/support/shell.h"

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char* const kSpeakers = "Speakers (High Definition Audio)";
const char* const kK10 = "Speakers (XOX K10 Audio)";

bool JackRuns() { return std::getenv("SONAVELA_JACK") != nullptr; }

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string LoadSink(const std::string& name, const std::string& description) {
    const std::string module = Trimmed(Shell("pactl load-module module-null-sink sink_name=" + name +
                                             " rate=48000 \"sink_properties=\\\"device.description='" + description +
                                             "'\\\"\""));
    return module;
}
void UnloadModule(const std::string& index) { Shell("pactl unload-module " + index + " >/dev/null 2>&1"); }

class StudioRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "start the test server first (scripts/test.sh does)";
        setenv("SONAVELA_NO_MESSAGE_BOX", "1", 1);
        InitEngine();
        appConfig = DefaultAppConfig();
        miniPlayerActive = false;
    }
    void TearDown() override { ShutDownStudioAudio(); }

    static int IndexOf(const std::string& name) {
        for (size_t i = 0; i < studioHost.asioDrivers.size(); ++i) {
            if (studioHost.asioDrivers[i].name == name) return static_cast<int>(i);
        }
        return -1;
    }
    static std::string Running() {
        const int i = studioHost.currentDriverIndex;
        return IsDriverStreamRunning() && i >= 0 ? studioHost.asioDrivers[i].name : "<none>";
    }
    // Blocks the callback ran in `length` while the frame loop keeps going.
    static uint64_t BlocksDuring(std::chrono::milliseconds length) {
        const uint64_t before = engine.callbackBlocks.load();
        const auto end = std::chrono::steady_clock::now() + length;
        while (std::chrono::steady_clock::now() < end) {
            HandleHostRequests();
            std::this_thread::sleep_for(16ms);
        }
        return engine.callbackBlocks.load() - before;
    }
    static void SwitchTo(const std::string& name) {
        const int index = IndexOf(name);
        ASSERT_GE(index, 0) << name;
        studioHost.currentDriverIndex = index;
        hostRequests.requestedAsioDevice = static_cast<int32_t>(studioHost.asioDrivers[index].id);
        HandleHostRequests();
    }
    // The callback runs at about the block rate within three seconds: the
    // test server's null sinks stall a new stream for a while at times.
    static void ExpectAudioRuns(const std::string& what) {
        const double perHalfSecond = 24000.0 / studioHost.studioBufferFrames;
        uint64_t blocks = 0;
        for (int window = 0; window < 6 && blocks < perHalfSecond * 0.6; ++window) blocks = BlocksDuring(500ms);
        EXPECT_GE(blocks, perHalfSecond * 0.6) << what;
        EXPECT_LT(blocks, perHalfSecond * 1.5) << what;
    }
};

TEST_F(StudioRoad, BringUpThenBufferAndDriverSwitchesWhileAudioRuns) {
    StartStudioAudio();
    ASSERT_TRUE(studioHost.asioAvailable);
    EXPECT_EQ(IndexOf("CABLE Input (VB-Audio Virtual Cable)"), -1) << "never play into the beat's cable";
    EXPECT_EQ(IndexOf("Microphone (USB Audio Device)"), -1) << "inputs only: no outputs";
    EXPECT_GE(IndexOf(kSpeakers), 0);
    if (JackRuns()) {
        EXPECT_EQ(Running(), "system");
        EXPECT_EQ(engine.inputChannels.load(), 2);
        EXPECT_EQ(studioHost.asioDrivers[0].name, "system");
        EXPECT_FALSE(studioHost.asioDrivers[0].generic);
    } else {
        EXPECT_EQ(Running(), kSpeakers);  // the first of the generic ones
        EXPECT_EQ(engine.inputChannels.load(), 0);
        EXPECT_FALSE(IsMicBridgeRunning()) << "the K10 is plugged in: its microphone never reaches the chain";
    }
    EXPECT_EQ(appConfig.asioDeviceName, Running());
    ExpectAudioRuns("after bring-up");

    hostRequests.requestedBufferFrames = 256;
    HandleHostRequests();
    const uint32_t granted = JackRuns() ? 128u : 256u;  // JACK keeps its own period
    EXPECT_EQ(studioHost.studioBufferFrames, granted);
    EXPECT_EQ(appConfig.asioBufferFrames, static_cast<int32_t>(granted));
    ExpectAudioRuns("at 256 frames");

    const std::string first = Running();
    SwitchTo(kK10);
    EXPECT_EQ(Running(), kK10);
    EXPECT_EQ(engine.inputChannels.load(), 0);
    ExpectAudioRuns("on the K10");
    SwitchTo(first);
    EXPECT_EQ(Running(), first);
    EXPECT_EQ(appConfig.asioDeviceName, first);
    ExpectAudioRuns("back on the first driver");
}

TEST_F(StudioRoad, ASwitchToAVanishedDeviceRestoresTheRunningOne) {
    const std::string module = LoadSink("Loa_Tam", "Loa tam thoi");
    ASSERT_FALSE(module.empty());
    StartStudioAudio();
    const int gone = IndexOf("Loa tam thoi");
    ASSERT_GE(gone, 0);
    const std::string before = Running();
    const int beforeIndex = studioHost.currentDriverIndex;
    UnloadModule(module);
    SwitchTo("Loa tam thoi");
    EXPECT_EQ(Running(), before);
    EXPECT_EQ(studioHost.currentDriverIndex, beforeIndex);
    EXPECT_EQ(appConfig.asioDeviceName, before);
    ExpectAudioRuns("after the restore");
}

TEST_F(StudioRoad, ADeviceLostMidStreamIsClosedAndAnotherDriverRuns) {
    const std::string module = LoadSink("Loa_Mat", "Loa se mat");
    ASSERT_FALSE(module.empty());
    appConfig.asioDeviceName = "Loa se mat";
    StartStudioAudio();
    ASSERT_EQ(Running(), "Loa se mat");
    ExpectAudioRuns("before the loss");
    UnloadModule(module);
    for (int i = 0; i < 500 && IsDriverStreamOpen(); ++i) {
        HandleHostRequests();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(IsDriverStreamOpen()) << "the lost stream is closed and reported";
    SwitchTo(kSpeakers);
    EXPECT_EQ(Running(), kSpeakers);
    ExpectAudioRuns("on the next driver");
}

TEST_F(StudioRoad, TenSwitchesInASecondEndWithARunningStream) {
    StartStudioAudio();
    ASSERT_TRUE(studioHost.asioAvailable);
    for (int i = 0; i < 10; ++i) {
        SwitchTo(i % 2 == 0 ? kK10 : kSpeakers);
        hostRequests.requestedBufferFrames = i % 3 == 0 ? 64 : 128;
        HandleHostRequests();
    }
    EXPECT_EQ(Running(), kSpeakers);
    ExpectAudioRuns("after the switching");
}

TEST_F(StudioRoad, AServerRestartIsToldAndRestoreAudioBringsItBack) {
    PrivateServer server(fs::temp_directory_path() / ("sonavela-studio-restart-" + std::to_string(getpid())));
    ASSERT_TRUE(server.Start());
    appConfig.asioDeviceName = kSpeakers;  // the sound server's path even when JACK runs
    StartStudioAudio();
    ASSERT_EQ(Running(), kSpeakers);
    server.Stop();
    for (int i = 0; i < 500 && IsDriverStreamOpen(); ++i) {
        HandleHostRequests();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_FALSE(ReopenStudioStream());  // nobody to play to: a prompt no
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(ReopenStudioStream());
    ExpectAudioRuns("after the restart");
}
}  // namespace
