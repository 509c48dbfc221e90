// The switches the panels ask for while Studio audio runs, over scripted
// drivers: each request handled once, failures put back what ran before
// and say so once, the Mini Player's frames leave the stream alone, and a
// device that goes away is closed and reported.

#include "tests/devices/device_world.h"

namespace {
using Strings = std::vector<std::string>;

class Requests : public StudioWorld {
protected:
    // Focusrite (id 0) runs; ASIO4ALL (id 1) bridges the USB microphone.
    void SetUp() override {
        StudioWorld::SetUp();
        AddDriver("Focusrite USB ASIO");
        AddDriver("ASIO4ALL v2");
        BringUp();
        ASSERT_EQ(RunningDriver(), "Focusrite USB ASIO");
        Calls().clear();
    }
    static ScriptedDriver& Driver(uint32_t id) { return scripted.driverHost.drivers[id]; }
    static std::string AskForDriver1() {
        studioHost.currentDriverIndex = 1;  // the panel files it this way
        hostRequests.requestedAsioDevice = 1;
        return Frame();
    }
    static void ExpectOneMessage(const std::string& text, const std::string& caption) {
        ASSERT_EQ(scripted.messages.size(), 1u);
        EXPECT_EQ(scripted.messages[0].text, text);
        EXPECT_EQ(scripted.messages[0].caption, caption);
    }
};

TEST_F(Requests, StudioModeReopensTheStreamWithoutInputsOnceAndSavesTheMode) {
    hostRequests.requestedStudioMode = 1;
    Frame();
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 128", "start 0"}));
    EXPECT_TRUE(engine.studioMode.load() == 1 && engine.inputChannels.load() == 0);
    EXPECT_EQ(StoredConfigValue("studio_mode"), "1");
    EXPECT_EQ(hostRequests.requestedStudioMode.load(), -1);
    Calls().clear();
    for (int32_t again : {-1, 1, 7}) {  // taken once, the mode it has, no mode at all
        hostRequests.requestedStudioMode = again;
        Frame();
    }
    EXPECT_TRUE(Calls().empty());
    hostRequests.requestedStudioMode = 0;
    Frame();
    EXPECT_TRUE(Calls().back() == "start 0" && engine.inputChannels.load() == 2 && scripted.messages.empty());
}

TEST_F(Requests, AFailedStudioModeSwitchPutsTheOldModeBackAndSaysSo) {
    Driver(0).openError = "cannot open without inputs";
    Driver(0).openFailures = 1;
    hostRequests.requestedStudioMode = 1;
    Frame();
    EXPECT_TRUE(engine.studioMode.load() == 0 && appConfig.studioMode == 0 && engine.inputChannels.load() == 2);
    EXPECT_EQ(StoredConfigValue("studio_mode"), "0");
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    ExpectOneMessage("Khong the chuyen Studio Mode tren driver hien tai. Sonavela da khoi phuc che do truoc.",
                     "Sonavela - Studio Mode");
    EXPECT_TRUE(scripted.messages[0].owned);
    scripted.messages.clear();  // the old mode cannot be reopened either: the silence is explained too
    Driver(0).openFailures = -1;
    hostRequests.requestedStudioMode = 1;
    Frame();
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[1].caption, "Sonavela - Loi Driver Soundcard");
    EXPECT_FALSE(IsDriverStreamOpen());
}

TEST_F(Requests, TheBufferSizeChangesOnceAndFallsBackTo128) {
    for (int i = 0; i < 2; ++i) {
        hostRequests.requestedBufferFrames = 256;
        Frame();
        EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 256", "start 0"})) << "the second time: nothing";
    }
    EXPECT_EQ(StoredConfigValue("asio_buffer_frames"), "256");
    Calls().clear();
    Driver(0).startError = "buffer size refused";  // a start that fails leaves the stream open
    Driver(0).startFailures = 1;
    hostRequests.requestedBufferFrames = 64;
    Frame();
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 64", "start 0", "close", "open 0 in 2 128", "start 0"}));
    EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && studioHost.studioBufferFrames == 128u);
    EXPECT_EQ(StoredConfigValue("asio_buffer_frames"), "256");
    EXPECT_TRUE(scripted.messages.empty());
    Driver(0).startFailures = -1;
    hostRequests.requestedBufferFrames = 512;
    Frame();
    EXPECT_FALSE(IsDriverStreamOpen());
    ExpectOneMessage("Khong mo lai duoc Soundcard ASIO:\nbuffer size refused\n\nBam KHOI PHUC AM THANH de thu lai sau "
                     "khi kiem tra soundcard.", "Sonavela - Loi Driver Soundcard");
}

TEST_F(Requests, ADriverSwitchRunsTheNewDriverWithItsMicrophoneRule) {
    EXPECT_TRUE(Has(AskForDriver1(), "GENERIC WASAPI MIC DIRECT BRIDGE"));
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 1 in 2 128", "start 1"}));
    EXPECT_TRUE(RunningDriver() == "ASIO4ALL v2" && studioHost.currentDeviceId == 1u && IsMicBridgeRunning());
    EXPECT_EQ(StoredConfigValue("asio_device_name"), "ASIO4ALL v2");
    Calls().clear();
    AskForDriver1();
    EXPECT_TRUE(Calls().empty()) << "the current driver";
    hostRequests.requestedAsioDevice = 0;
    Frame();
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_FALSE(IsMicBridgeRunning() || engine.micBridgeEnabled.load()) << "back on native inputs";
}

TEST_F(Requests, AFailedDriverSwitchShowsOneMessageAndTheRunningDriverIsTheCurrentOne) {
    for (const bool startFails : {false, true}) {
        SCOPED_TRACE(startFails);
        scripted.messages.clear();
        (startFails ? Driver(1).startError : Driver(1).openError) = "device unplugged";
        AskForDriver1();
        ExpectOneMessage("Khong the ket noi Soundcard moi:\ndevice unplugged\n\nDang khoi phuc lai thiet bi am thanh "
                         "truoc do.", "Sonavela - Loi Driver Soundcard");
        EXPECT_TRUE(RunningDriver() == "Focusrite USB ASIO" && Calls().back() == "start 0");
        EXPECT_TRUE(studioHost.currentDeviceId == 0u && studioHost.currentDriverIndex == 0) << "the panel shows what runs";
        EXPECT_EQ(appConfig.asioDeviceName, "Focusrite USB ASIO");
        EXPECT_TRUE(engine.inputChannels.load() == 2 && !IsMicBridgeRunning());
    }
    scripted.messages.clear();  // neither opens: both are said, nothing is left half open
    Driver(0).openError = "the old one is gone too";
    AskForDriver1();
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_TRUE(Has(scripted.messages[1].text, "the old one is gone too"));
    EXPECT_TRUE(!IsDriverStreamOpen() && studioHost.currentDriverIndex == 0);
}

TEST_F(Requests, AnUnlistedDriverIsSkippedAndTheLastRequestOfAFrameStands) {
    hostRequests.requestedAsioDevice = 9;
    EXPECT_TRUE(Has(Frame(), "[WARN] Bo qua yeu cau driver khong co trong danh sach: 9"));
    for (int i = 0; i < 10; ++i) hostRequests.requestedAsioDevice = (i + 1) % 2;
    Frame();
    EXPECT_TRUE(Calls().empty());
    for (int i = 0; i < 10; ++i) {
        hostRequests.requestedAsioDevice = (i + 1) % 2;
        Frame();
    }
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_EQ(std::count(Calls().begin(), Calls().end(), "close"), 10);
    EXPECT_TRUE(scripted.messages.empty());
}

TEST_F(Requests, TheMiniPlayerLeavesTheStreamAloneAndHandsItBack) {
    EnterMiniPlayer();
    miniPlayerActive = true;
    hostRequests.requestedStudioMode = 1;
    hostRequests.requestedBufferFrames = 256;
    hostRequests.requestedAsioDevice = 1;
    Frame();
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
    ExpectOneMessage("ASIO chua san sang, nhung Sonavela van giu Main Shell.\n\ndevice busy",
                     "Sonavela - Studio Audio chua san sang");
    EXPECT_EQ(scripted.messages[0].icon, MessageIcon::Information);
    ConsoleOf(ReturnToStudio);
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[1].caption, "Sonavela - Main Shell");
}

TEST_F(Requests, ADeviceThatGoesAwayIsClosedAndReportedOnceUntilTheNextRequest) {
    AskForDriver1();
    ASSERT_TRUE(IsMicBridgeRunning());
    scripted.driverHost.failed = true;
    scripted.driverHost.failReason = "the device was removed";
    EXPECT_TRUE(Has(Frame(), "[WARN] Mat ket noi Soundcard ASIO: the device was removed"));
    EXPECT_FALSE(IsDriverStreamOpen() || IsMicBridgeRunning() || engine.micBridgeEnabled.load());
    Frame();
    EXPECT_EQ(scripted.messages.size(), 1u);
    hostRequests.requestedAsioDevice = 0;
    Frame();
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_TRUE(RunScriptedDriverBlocks(4));
    EXPECT_EQ(engine.callbackBlocks.load(), 4u);
}

TEST_F(Requests, RestoreAudioReopensTheCurrentDriver) {
    EXPECT_TRUE(ReopenStudioStream());
    EXPECT_EQ(Calls(), (Strings{"stop", "close", "open 0 in 2 128", "start 0"}));
    Driver(0).outputs = 1;
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen());
    Driver(0).outputs = 2;
    Driver(0).startError = "still busy";
    EXPECT_FALSE(ReopenStudioStream() || IsDriverStreamOpen() || engine.inputChannels.load() != 0);
}
}  // namespace
