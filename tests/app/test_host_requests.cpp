// The switches the panels ask for while Studio audio runs, over scripted
// drivers: each request handled once, failures put back what ran before
// and say so once, the Mini Player's frames leave the stream alone, and a
// device that goes away is closed and reported.

#include "tests/devices/studio_world.h"

namespace {
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
    static void AskForDriver(int32_t id, int panelIndex) {
        studioHost.currentDriverIndex = panelIndex;  // the panel files it this way
        hostRequests.requestedAsioDevice = id;
    }
};

TEST_F(Requests, StudioModeReopensTheStreamWithoutInputsAndSavesTheMode) {
    hostRequests.requestedStudioMode = 1;
    Frame();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 0 128", "start 0"}));
    EXPECT_EQ(engine.studioMode.load(), 1);
    EXPECT_EQ(engine.inputChannels.load(), 0);
    EXPECT_EQ(StoredConfigValue("studio_mode"), "1");
    EXPECT_EQ(hostRequests.requestedStudioMode.load(), -1);

    Calls().clear();
    Frame();  // taken once
    hostRequests.requestedStudioMode = 1;
    Frame();  // the mode it already has
    hostRequests.requestedStudioMode = 7;
    Frame();
    EXPECT_TRUE(Calls().empty());

    hostRequests.requestedStudioMode = 0;
    Frame();
    EXPECT_EQ(Calls().back(), "start 0");
    EXPECT_EQ(engine.inputChannels.load(), 2);
    EXPECT_TRUE(scripted.messages.empty());
}

TEST_F(Requests, AFailedStudioModeSwitchPutsTheOldModeBackAndSaysSo) {
    Driver(0).openError = "cannot open without inputs";
    Driver(0).openFailures = 1;
    hostRequests.requestedStudioMode = 1;
    Frame();
    EXPECT_EQ(engine.studioMode.load(), 0);
    EXPECT_EQ(appConfig.studioMode, 0);
    EXPECT_EQ(StoredConfigValue("studio_mode"), "0");
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_EQ(engine.inputChannels.load(), 2);
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text,
              "Khong the chuyen Studio Mode tren driver hien tai. Sonavela da khoi phuc che do truoc.");
    EXPECT_EQ(scripted.messages[0].caption, "Sonavela - Studio Mode");
    EXPECT_TRUE(scripted.messages[0].owned);

    // When the old mode cannot be reopened either, the silence is explained too.
    scripted.messages.clear();
    Driver(0).openFailures = -1;
    hostRequests.requestedStudioMode = 1;
    Frame();
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[1].caption, "Sonavela - Loi Driver Soundcard");
    EXPECT_FALSE(IsDriverStreamOpen());
}

TEST_F(Requests, TheBufferSizeChangesAndFallsBackTo128) {
    hostRequests.requestedBufferFrames = 256;
    Frame();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 0 in 2 256", "start 0"}));
    EXPECT_EQ(StoredConfigValue("asio_buffer_frames"), "256");

    Calls().clear();
    hostRequests.requestedBufferFrames = 256;
    Frame();
    EXPECT_TRUE(Calls().empty());

    // A start that fails leaves the stream open: it is closed before the retry.
    Driver(0).startError = "buffer size refused";
    Driver(0).startFailures = 1;
    hostRequests.requestedBufferFrames = 64;
    Frame();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 0 in 2 64", "start 0", "close",
                                                 "open 0 in 2 128", "start 0"}));
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_EQ(studioHost.studioBufferFrames, 128u);
    EXPECT_EQ(StoredConfigValue("asio_buffer_frames"), "256");
    EXPECT_TRUE(scripted.messages.empty());

    Driver(0).startFailures = -1;
    hostRequests.requestedBufferFrames = 512;
    Frame();
    EXPECT_FALSE(IsDriverStreamOpen());
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text,
              "Khong mo lai duoc Soundcard ASIO:\nbuffer size refused\n\nBam KHOI PHUC AM THANH de thu lai sau khi "
              "kiem tra soundcard.");
}

TEST_F(Requests, ADriverSwitchRunsTheNewDriverWithItsMicrophoneRule) {
    AskForDriver(1, 1);
    const std::string console = Frame();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 1 in 2 128", "start 1"}));
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2");
    EXPECT_EQ(studioHost.currentDriverIndex, 1);
    EXPECT_EQ(studioHost.currentDeviceId, 1u);
    EXPECT_EQ(StoredConfigValue("asio_device_name"), "ASIO4ALL v2");
    EXPECT_TRUE(IsMicBridgeRunning());
    EXPECT_TRUE(Has(console, "GENERIC WASAPI MIC DIRECT BRIDGE")) << console;

    Calls().clear();
    AskForDriver(1, 1);
    Frame();
    EXPECT_TRUE(Calls().empty());  // the current driver

    hostRequests.requestedAsioDevice = 0;
    Frame();
    EXPECT_FALSE(IsMicBridgeRunning());  // back on native inputs
    EXPECT_FALSE(engine.micBridgeEnabled.load());
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
}

TEST_F(Requests, AFailedDriverSwitchShowsOneMessageAndTheRunningDriverIsTheCurrentOne) {
    for (const bool startFails : {false, true}) {
        scripted.messages.clear();
        Calls().clear();
        (startFails ? Driver(1).startError : Driver(1).openError) = "device unplugged";
        AskForDriver(1, 1);
        Frame();
        ASSERT_EQ(scripted.messages.size(), 1u) << startFails;
        EXPECT_EQ(scripted.messages[0].text,
                  "Khong the ket noi Soundcard moi:\ndevice unplugged\n\nDang khoi phuc lai thiet bi am thanh truoc do.");
        EXPECT_EQ(scripted.messages[0].caption, "Sonavela - Loi Driver Soundcard");
        EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
        EXPECT_EQ(Calls().back(), "start 0");
        EXPECT_EQ(studioHost.currentDeviceId, 0u);
        EXPECT_EQ(studioHost.currentDriverIndex, 0) << "the panel and the microphone rule describe what runs";
        EXPECT_EQ(appConfig.asioDeviceName, "Focusrite USB ASIO");
        EXPECT_EQ(engine.inputChannels.load(), 2);
        EXPECT_FALSE(IsMicBridgeRunning());
    }

    // Neither the new nor the previous driver opens: both are said, nothing is left half open.
    scripted.messages.clear();
    Driver(0).openError = "the old one is gone too";
    AskForDriver(1, 1);
    Frame();
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_TRUE(Has(scripted.messages[1].text, "the old one is gone too"));
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_EQ(studioHost.currentDriverIndex, 0);
}

TEST_F(Requests, AnUnlistedDriverAndManyRequestsInOneFrame) {
    hostRequests.requestedAsioDevice = 9;
    const std::string console = Frame();
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(Has(console, "[WARN] Bo qua yeu cau driver khong co trong danh sach: 9")) << console;

    for (int i = 0; i < 10; ++i) hostRequests.requestedAsioDevice = (i + 1) % 2;  // the last one stands
    Frame();
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
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
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop"}));
    EXPECT_TRUE(IsDriverStreamOpen());

    hostRequests.requestedStudioMode = 1;
    hostRequests.requestedBufferFrames = 256;
    hostRequests.requestedAsioDevice = 1;
    Frame();
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_EQ(engine.studioMode.load(), 0);
    EXPECT_NE(StoredConfigValue("studio_mode"), "1");

    miniPlayerActive = false;
    ReturnToStudio();
    ShowPendingNotices();
    Frame();  // the requests were dropped, not kept for later
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "start 0"}));
    EXPECT_TRUE(scripted.messages.empty());

    EnterMiniPlayer();
    Driver(0).startError = "device busy";
    ReturnToStudio();
    ShowPendingNotices();
    EXPECT_FALSE(studioHost.asioAvailable);
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text, "ASIO chua san sang, nhung Sonavela van giu Main Shell.\n\ndevice busy");
    EXPECT_EQ(scripted.messages[0].caption, "Sonavela - Studio Audio chua san sang");
    EXPECT_EQ(scripted.messages[0].icon, MessageIcon::Information);

    ReturnToStudio();
    ShowPendingNotices();
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[1].caption, "Sonavela - Main Shell");
}

TEST_F(Requests, ADeviceThatGoesAwayIsClosedAndReportedOnce) {
    AskForDriver(1, 1);
    Frame();
    ASSERT_TRUE(IsMicBridgeRunning());
    scripted.driverHost.failed = true;
    scripted.driverHost.failReason = "the device was removed";
    const std::string console = Frame();
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_FALSE(engine.micBridgeEnabled.load());
    EXPECT_TRUE(Has(console, "[WARN] Mat ket noi Soundcard ASIO: the device was removed")) << console;
    ASSERT_EQ(scripted.messages.size(), 1u);
    Frame();
    EXPECT_EQ(scripted.messages.size(), 1u);

    // The next request brings a driver back.
    hostRequests.requestedAsioDevice = 0;
    Frame();
    EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO");
    EXPECT_TRUE(RunScriptedDriverBlocks(4));
    EXPECT_EQ(engine.callbackBlocks.load(), 4u);
}

TEST_F(Requests, RestoreAudioReopensTheCurrentDriver) {
    EXPECT_TRUE(ReopenStudioStream());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 0 in 2 128", "start 0"}));
    Driver(0).outputs = 1;
    EXPECT_FALSE(ReopenStudioStream());
    EXPECT_FALSE(IsDriverStreamOpen());
    Driver(0).outputs = 2;
    Driver(0).startError = "still busy";
    EXPECT_FALSE(ReopenStudioStream());
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_EQ(engine.inputChannels.load(), 0);
}
}  // namespace
