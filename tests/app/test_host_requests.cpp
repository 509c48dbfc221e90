// The panels' switches while Studio audio runs: each request handled once, failures put back what ran and
// say so once, the Mini Player's frames leave the stream alone, and a device that goes away is reported.
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
    static void ExpectMessage(size_t index, const std::string& text, const std::string& caption) {
        ASSERT_EQ(scripted.messages.size(), index + 1);
        EXPECT_TRUE(Has(scripted.messages[index].text, text)) << scripted.messages[index].text;
        EXPECT_EQ(scripted.messages[index].caption, caption);
    }
};

TEST_F(Requests, StudioModeReopensWithoutInputsOnceSavesAndAFailureRestoresTheOldMode) {
    for (int32_t mode : {1, -1, 1, 7}) Ask(mode);  // then: taken once, the mode it has, no mode at all
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 128", "start 0"}));
    EXPECT_TRUE(engine.studioMode.load() == 1 && engine.inputChannels.load() == 0);
    EXPECT_TRUE(StoredConfigValue("studio_mode") == "1" && hostRequests.requestedStudioMode.load() == -1);
    Ask(0);
    EXPECT_TRUE(Calls().back() == "start 0" && engine.inputChannels.load() == 2 && scripted.messages.empty());
    Driver(0).openError = "cannot open without inputs";
    Driver(0).openFailures = 1;
    Ask(1);
    EXPECT_TRUE(engine.studioMode.load() == 0 && appConfig.studioMode == 0 && engine.inputChannels.load() == 2);
    EXPECT_TRUE(StoredConfigValue("studio_mode") == "0" && RunningDriver() == "Focusrite USB ASIO");
    ExpectMessage(0, "Khong the chuyen Studio Mode tren driver hien tai. Sonavela da khoi phuc che do truoc.",
                  "Sonavela - Studio Mode");
    EXPECT_TRUE(scripted.messages[0].owned);
    Driver(0).openFailures = -1;  // the old mode cannot be reopened either: the silence is explained too
    Ask(1);
    ExpectMessage(2, "", "Sonavela - Loi Driver Soundcard");
    EXPECT_FALSE(IsDriverStreamOpen());
}

TEST_F(Requests, TheBufferSizeChangesOnceAndFallsBackTo128) {
    Ask(-1, 256);
    Ask(-1, 256);
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 256", "start 0"}));
    Calls().clear();
    Driver(0).startError = "buffer size refused";  // a start that fails leaves the stream open
    Driver(0).startFailures = 1;
    Ask(-1, 64);
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 64", "start 0", "close", "open 0 in 2 128", "start 0"}));
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && studioHost.studioBufferFrames == 128u);
    EXPECT_TRUE(StoredConfigValue("asio_buffer_frames") == "256" && scripted.messages.empty());
    Driver(0).startFailures = -1;
    Ask(-1, 512);
    EXPECT_FALSE(IsDriverStreamOpen());
    ExpectMessage(0,
                  "Khong mo lai duoc Soundcard ASIO:\nbuffer size refused\n\nBam KHOI PHUC AM THANH de thu lai "
                  "sau khi kiem tra soundcard.",
                  "Sonavela - Loi Driver Soundcard");
}

TEST_F(Requests, ADriverSwitchRunsTheNewDriverWithItsMicrophoneRuleAndTheLastRequestOfAFrameStands) {
    EXPECT_TRUE(Has(Ask(-1, 0, 1), "GENERIC WASAPI MIC DIRECT BRIDGE"));
    Ask(-1, 0, 1);  // the current driver: nothing
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 1 in 2 128", "start 1"}));
    EXPECT_TRUE(RunningDriver() == "ASIO4ALL v2" && studioHost.currentDeviceId == 1u && IsMicBridgeRunning());
    EXPECT_EQ(StoredConfigValue("asio_device_name"), "ASIO4ALL v2");
    Ask(-1, 0, 0);
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_FALSE(IsMicBridgeRunning() || engine.micBridgeEnabled.load()) << "back on native inputs";
    Calls().clear();  // an unlisted driver is skipped, and the last request of a frame stands
    EXPECT_TRUE(Has(Ask(-1, 0, 9), "[WARN] Bo qua yeu cau driver khong co trong danh sach: 9"));
    for (int i = 0; i < 10; ++i) hostRequests.requestedAsioDevice = (i + 1) % 2;
    Frame();
    EXPECT_TRUE(Calls().empty());
    for (int i = 0; i < 10; ++i) Ask(-1, 0, (i + 1) % 2);
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && scripted.messages.empty());
    EXPECT_EQ(std::count(Calls().begin(), Calls().end(), "close"), 10);
}

TEST_F(Requests, AFailedDriverSwitchShowsOneMessageAndTheRunningDriverIsTheCurrentOne) {
    for (const bool startFails : {false, true}) {
        SCOPED_TRACE(startFails);
        scripted.messages.clear();
        (startFails ? Driver(1).startError : Driver(1).openError) = "device unplugged";
        Ask(-1, 0, 1);
        ExpectMessage(0,
                      "Khong the ket noi Soundcard moi:\ndevice unplugged\n\nDang khoi phuc lai thiet bi am thanh "
                      "truoc do.",
                      "Sonavela - Loi Driver Soundcard");
        EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && Calls().back() == "start 0");
        EXPECT_TRUE(studioHost.currentDeviceId == 0u && studioHost.currentDriverIndex == 0) << "the panel shows it";
        EXPECT_TRUE(appConfig.asioDeviceName == "Focusrite USB ASIO" && engine.inputChannels.load() == 2);
        EXPECT_FALSE(IsMicBridgeRunning());
    }
    scripted.messages.clear();  // neither opens: both are said, nothing is left half open
    Driver(0).openError = "the old one is gone too";
    Ask(-1, 0, 1);
    ExpectMessage(1, "the old one is gone too", "Sonavela - Loi Driver Soundcard");
    EXPECT_TRUE(!IsDriverStreamOpen() && studioHost.currentDriverIndex == 0);
}

TEST_F(Requests, TheMiniPlayerLeavesTheStreamAloneAndHandsItBack) {
    EnterMiniPlayer();
    miniPlayerActive = true;
    Ask(1, 256, 1);
    EXPECT_TRUE(Calls() == Strings{"stop"} && IsDriverStreamOpen() && engine.studioMode.load() == 0);
    EXPECT_NE(StoredConfigValue("studio_mode"), "1");
    miniPlayerActive = false;
    ConsoleOf(ReturnToStudio);
    Frame();  // the requests were dropped, not kept for later
    EXPECT_TRUE(Calls() == (Strings{"stop", "start 0"}) && scripted.messages.empty());
    EnterMiniPlayer();
    Driver(0).startError = "device busy";
    ConsoleOf(ReturnToStudio);
    EXPECT_FALSE(studioHost.asioAvailable);
    ExpectMessage(0, "ASIO chua san sang, nhung Sonavela van giu Main Shell.\n\ndevice busy",
                  "Sonavela - Studio Audio chua san sang");
    EXPECT_EQ(scripted.messages[0].icon, MessageIcon::Information);
    ConsoleOf(ReturnToStudio);
    ExpectMessage(1, "", "Sonavela - Main Shell");
}

TEST_F(Requests, ALostDeviceIsClosedAndReportedOnceAndRestoreReopensTheCurrentDriver) {
    Ask(-1, 0, 1);
    scripted.driverHost.failed = true;
    scripted.driverHost.failReason = "the device was removed";
    EXPECT_TRUE(Has(Frame(), "[WARN] Mat ket noi Soundcard ASIO: the device was removed"));
    EXPECT_FALSE(IsDriverStreamOpen() || IsMicBridgeRunning() || engine.micBridgeEnabled.load());
    Frame();
    EXPECT_EQ(scripted.messages.size(), 1u);
    Ask(-1, 0, 0);  // the next request brings a driver back
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && RunScriptedDriverBlocks(4));
    EXPECT_EQ(engine.callbackBlocks.load(), 4u);
    Calls().clear();
    EXPECT_TRUE(ReopenStudioStream());
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 128", "start 0"}));
    Driver(0).outputs = 1;
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen());
    Driver(0).outputs = 2;
    Driver(0).startError = "still busy";
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen() || engine.inputChannels.load() != 0);
}
}  // namespace
