// The panels' switches while Studio audio runs: each handled once, failures undone and said once, the Mini
// Player's frames leave the stream alone, and a device that goes away is reported.
#include "tests/devices/device_world.h"

namespace {
using Strings = std::vector<std::string>;

class Requests : public StudioWorld {
protected:
    void SetUp() override {  // Focusrite (id 0) runs; ASIO4ALL (id 1) bridges the USB microphone
        StudioWorld::SetUp();
        AddDriver("Focusrite USB ASIO");
        AddDriver("ASIO4ALL v2");
        BringUp();
        Calls().clear();
    }
    static ScriptedDriver& Driver(uint32_t id) { return scripted.driverHost.drivers[id]; }
    static std::string Ask(int32_t mode, int32_t frames = 0, int32_t driver = -1) {
        if (driver == 1) studioHost.currentDriverIndex = 1;  // the panel files it this way
        hostRequests.requestedStudioMode = mode;
        hostRequests.requestedBufferFrames = frames;
        hostRequests.requestedAsioDevice = driver;
        return Frame();
    }
    static std::string LastMessage() { return scripted.messages.empty() ? "<none>" : scripted.messages.back().text; }
};

TEST_F(Requests, StudioModeAndBufferSizeAreTakenOnceAndSavedWhenTheyRun) {
    for (int32_t mode : {1, -1, 1, 7}) Ask(mode);  // then: taken once, the mode it has, no mode at all
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 128", "start 0"}));
    EXPECT_TRUE(engine.studioMode.load() == 1 && engine.inputChannels.load() == 0);
    EXPECT_TRUE(StoredConfigValue("studio_mode") == "1" && hostRequests.requestedStudioMode.load() == -1);
    Ask(0);
    Calls().clear();
    Ask(-1, 256);
    Ask(-1, 256);
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 256", "start 0"}));
    Driver(0).startError = "refused";
    Driver(0).startFailures = 1;
    Ask(-1, 64);  // 128 frames run instead, without a word, and the size the user chose last stays saved
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && studioHost.studioBufferFrames == 128u);
    EXPECT_TRUE(scripted.messages.empty() && StoredConfigValue("asio_buffer_frames") == "256");
}

TEST_F(Requests, AFailedSwitchPutsBackWhatRanOrSaysThatNothingRuns) {
    // The drivers whose open (or start) fails, how often (-1: always), the request (mode, frames, driver),
    // whether the old setting runs again, the messages then and a word of the last one.
    const std::tuple<std::vector<uint32_t>, bool, int, int32_t, int32_t, int32_t, bool, size_t, const char*> cases[] = {
        {{0}, false, 1, 1, 0, -1, true, 1, "Studio Mode"},
        {{0}, false, -1, 1, 0, -1, false, 2, "KHOI PHUC"},
        {{0}, true, -1, -1, 64, -1, false, 1, "driver 0 failed"},
        {{1}, false, -1, -1, 0, 1, true, 1, "driver 1 failed"},
        {{1}, true, -1, -1, 0, 1, true, 1, "driver 1 failed"},
        {{1, 0}, false, -1, -1, 0, 1, false, 2, "driver 0 failed"}};
    for (const auto& [failing, start, times, mode, frames, driver, runs, messages, says] : cases) {
        SCOPED_TRACE(::testing::Message() << mode << " " << frames << " " << driver << " x" << times);
        SetUp();
        for (const uint32_t id : failing) {
            ScriptedDriver& d = Driver(id);
            (start ? d.startError : d.openError) = "driver " + std::to_string(id) + " failed";
            (start ? d.startFailures : d.openFailures) = times;
        }
        Ask(mode, frames, driver);
        EXPECT_EQ(scripted.messages.size(), messages);
        EXPECT_TRUE(Has(LastMessage(), says)) << LastMessage();
        EXPECT_TRUE(engine.studioMode.load() == 0 && StoredConfigValue("studio_mode") != "1");
        EXPECT_TRUE(appConfig.asioBufferFrames == 128 && appConfig.asioDeviceName == "Focusrite USB ASIO");
        EXPECT_TRUE(studioHost.currentDriverIndex == 0 && studioHost.currentDeviceId == 0u) << "the panel shows it";
        if (runs) {
            EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && engine.inputChannels.load() == 2);
            EXPECT_TRUE(studioHost.studioBufferFrames == 128u && !IsMicBridgeRunning());
        } else {
            EXPECT_FALSE(IsDriverStreamOpen());
        }
    }
}

TEST_F(Requests, ADriverSwitchRunsTheNewDriverWithItsMicrophoneRuleAndTheLastRequestOfAFrameStands) {
    EXPECT_TRUE(Has(Ask(-1, 0, 1), "DIRECT BRIDGE"));
    Ask(-1, 0, 1);  // the current driver: nothing
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 1 in 2 128", "start 1"}));
    EXPECT_TRUE(RunningDriver() == "ASIO4ALL v2" && studioHost.currentDeviceId == 1u && IsMicBridgeRunning());
    EXPECT_EQ(StoredConfigValue("asio_device_name"), "ASIO4ALL v2");
    Ask(-1, 0, 0);
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_FALSE(IsMicBridgeRunning() || engine.micBridgeEnabled.load()) << "back on native inputs";
    Calls().clear();  // an unlisted driver is skipped, and the last request of a frame stands
    EXPECT_TRUE(Has(Ask(-1, 0, 9), "danh sach: 9"));
    for (int i = 0; i < 10; ++i) hostRequests.requestedAsioDevice = (i + 1) % 2;
    Frame();
    EXPECT_TRUE(Calls().empty() && scripted.messages.empty());
}

TEST_F(Requests, TheMiniPlayerLeavesTheStreamAloneAndHandsItBack) {
    EnterMiniPlayer();
    miniPlayerActive = true;
    Ask(1, 256, 1);
    EXPECT_TRUE(Calls() == Strings{"stop"} && IsDriverStreamOpen() && engine.studioMode.load() == 0);
    miniPlayerActive = false;
    ConsoleOf(ReturnToStudio);
    Frame();  // the requests were dropped, not kept for later
    EXPECT_TRUE(Calls() == (Strings{"stop", "start 0"}) && scripted.messages.empty());
    EnterMiniPlayer();
    Driver(0).startError = "device busy";
    ConsoleOf(ReturnToStudio);
    EXPECT_FALSE(studioHost.asioAvailable);
    EXPECT_TRUE(Has(LastMessage(), "device busy") && scripted.messages[0].icon == MessageIcon::Information);
    ConsoleOf(ReturnToStudio);
    EXPECT_TRUE(scripted.messages.size() == 2u && !Has(LastMessage(), "device busy")) << "no driver now, said so";
}

TEST_F(Requests, ALostDeviceIsClosedAndReportedOnceAndAReopenNeedsAStereoDriverThatStarts) {
    Ask(-1, 0, 1);
    scripted.driverHost.failed = true;
    scripted.driverHost.failReason = "the device was removed";
    EXPECT_TRUE(Has(Frame(), "the device was removed"));
    EXPECT_FALSE(IsDriverStreamOpen() || IsMicBridgeRunning() || engine.micBridgeEnabled.load());
    Frame();
    EXPECT_EQ(scripted.messages.size(), 1u);
    Ask(-1, 0, 0);  // the next request brings a driver back
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && RunScriptedDriverBlocks(4));
    Driver(0).outputs = 1;  // a reopen refuses a driver that lost its stereo output, or that will not start
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen());
    Driver(0).outputs = 2;
    Driver(0).startError = "still busy";
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen() || engine.inputChannels.load() != 0);
}
}  // namespace
