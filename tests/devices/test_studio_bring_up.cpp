// Start-up of the Studio stream over scripted drivers: which driver is
// chosen, which are never listed, what the console and the message boxes
// say, and which inputs the stream opens with.

#include "tests/devices/studio_world.h"

namespace {
using BringUpTest = StudioWorld;

TEST_F(BringUpTest, TheRankingPicksTheDedicatedInterfaceAndTheFirstOfEqualRanks) {
    AddDriver("ASIO4ALL v2");
    AddDriver("Focusrite USB ASIO");
    AddDriver("Yamaha Steinberg USB ASIO");
    const std::string console = BringUp();
    EXPECT_TRUE(studioHost.asioAvailable);
    EXPECT_EQ(studioHost.currentDriverIndex, 1);
    EXPECT_EQ(studioHost.currentDeviceId, 1u);
    EXPECT_EQ(appConfig.asioDeviceName, "Focusrite USB ASIO");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open 1 in 2 128", "start 1"}));
    EXPECT_TRUE(Has(console, "\n>>> DA KET NOI SOUNDCARD: Focusrite USB ASIO <<<\n")) << console;
    EXPECT_TRUE(Has(console, ">>> ASIO Stream da kich hoat o muc 128 frames <<<\n")) << console;
    EXPECT_EQ(engine.inputChannels.load(), 2);
    EXPECT_TRUE(scripted.messages.empty());

    ShutDownStudioAudio();
    ResetDeviceWorld();
    AddDriver("ASIO Link Pro");
    AddDriver("UMC ASIO Driver");
    AddDriver("Behringer USB Audio");
    AddDriver("Realtek ASIO");  // anything else ranks 7, below both
    BringUp();
    EXPECT_EQ(RunningDriver(), "UMC ASIO Driver");
    EXPECT_EQ(DriverPreference("FL Studio ASIO"), 5);
    EXPECT_EQ(DriverPreference("ASIO Link Pro"), 2);
    EXPECT_EQ(DriverPreference("focusrite usb"), 7);  // the tests are case-sensitive
}

TEST_F(BringUpTest, TheStoredNameWinsOnlyWhenItMatchesByteForByte) {
    AddDriver("Focusrite USB ASIO");
    AddDriver("ASIO4ALL v2");
    appConfig.asioDeviceName = "ASIO4ALL v2";
    BringUp();
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2");
    EXPECT_EQ(studioHost.currentDriverIndex, 1);

    for (const char* stored : {"asio4all v2", "ASIO4ALL v2 ", "Gone Driver"}) {
        ShutDownStudioAudio();
        scripted.driverHost.calls.clear();
        appConfig.asioDeviceName = stored;
        BringUp();
        EXPECT_EQ(RunningDriver(), "Focusrite USB ASIO") << stored;
        EXPECT_EQ(appConfig.asioDeviceName, "Focusrite USB ASIO");
    }
}

TEST_F(BringUpTest, DriversThatCannotCarryTwoOutputsAreNeverListed) {
    AddDriver("ASIOVADPRO Virtual", 2, 2);
    AddDriver("CABLE Input (VB-Audio Virtual Cable)", 0, 2, true);  // the beat's own cable
    AddDriver("Focusrite Mic Only", 2, 0);
    AddDriver("Focusrite Mono Out", 2, 1);  // the stream always opens two outputs
    const std::string console = BringUp();
    EXPECT_TRUE(studioHost.asioDrivers.empty());
    EXPECT_FALSE(studioHost.asioAvailable);
    EXPECT_FALSE(miniPlayerActive);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(Has(console, "[INFO] Khong co ASIO - Main Shell van hoat dong; Studio Audio tam khoa, Mini WASAPI san "
                             "sang khi nguoi dung chon.\n"))
        << console;

    ShutDownStudioAudio();
    AddDriver("ASIO4ALL v2");
    BringUp();
    ASSERT_EQ(studioHost.asioDrivers.size(), 1u);
    EXPECT_EQ(studioHost.asioDrivers[0].id, 4u);  // ids are the host's, not the list's
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2");
}

TEST_F(BringUpTest, HostAndProbeErrorsBecomeConsoleLines) {
    scripted.driverHost.createFails = true;
    scripted.driverHost.createError = "no sound server";
    std::string console = BringUp();
    EXPECT_TRUE(Has(console, "[INFO] ASIO subsystem chua san sang: no sound server")) << console;
    EXPECT_FALSE(DriverHostExists());
    EXPECT_FALSE(studioHost.asioAvailable);
    scripted.driverHost.createError.clear();
    console = BringUp();
    EXPECT_TRUE(Has(console, "[INFO] ASIO subsystem chua san sang. Main Shell")) << console;

    ResetDeviceWorld();
    AddDriver("Broken One").probeFails = true;
    ScriptedDriver& broken = AddDriver("Broken Two");
    broken.probeFails = true;
    broken.probeError = "driver crashed while probing";
    AddDriver("ASIO4ALL v2");
    console = BringUp();
    EXPECT_TRUE(Has(console, "[WARN] Bo qua ASIO device loi khong xac dinh.\n")) << console;
    EXPECT_TRUE(Has(console, "[WARN] Bo qua ASIO device loi: driver crashed while probing\n")) << console;
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2");
}

TEST_F(BringUpTest, AFailedFirstOpenTurnsStudioOffWithOneMessageAndLeavesNothingOpen) {
    AddDriver("Focusrite USB ASIO").startError = "sample rate 48000 not supported";
    BringUp();
    EXPECT_FALSE(studioHost.asioAvailable);
    EXPECT_FALSE(miniPlayerActive);
    EXPECT_EQ(engine.inputChannels.load(), 0);
    EXPECT_FALSE(IsDriverStreamOpen());  // a later restore can open it again
    ASSERT_EQ(scripted.messages.size(), 1u);
    const ScriptedMessage& m = scripted.messages[0];
    EXPECT_EQ(m.text,
              "Khong mo duoc Soundcard ASIO:\nsample rate 48000 not supported\n\nSonavela se chuyen sang Mini Player qua "
              "WASAPI (3.5mm/Bluetooth/HDMI).");
    EXPECT_EQ(m.caption, "Sonavela - ASIO khong san sang");
    EXPECT_EQ(m.icon, MessageIcon::Warning);
    EXPECT_FALSE(m.owned);
}

TEST_F(BringUpTest, TheGrantedBufferSizeIsWhatRunsAndLongNamesAreCutBetweenLetters) {
    appConfig.asioBufferFrames = 64;
    std::string name = "Focusrite ";
    while (name.size() < 200) name += "Âm thanh ";
    AddDriver(name).grantedFrames = 96;
    const std::string console = BringUp();
    EXPECT_EQ(Calls()[0], "open 0 in 2 64");
    EXPECT_EQ(studioHost.studioBufferFrames, 96u);
    EXPECT_TRUE(Has(console, "o muc 96 frames")) << console;
    const std::string& kept = studioHost.asioDrivers[0].name;
    EXPECT_LE(kept.size(), 127u);
    EXPECT_GE(kept.size(), 124u);
    EXPECT_EQ(name.compare(0, kept.size(), kept), 0);
    EXPECT_NE(static_cast<unsigned char>(name[kept.size()]) & 0xC0, 0x80) << "cut inside a letter";
}

TEST_F(BringUpTest, TheInputRuleFollowsStudioModeTheDriverAndTheK10) {
    struct Case {
        const char* name;
        uint32_t inputs;
        bool generic;
        int32_t mode;
        bool k10;
        const char* open;
        int32_t inputChannels;
    };
    const Case cases[] = {
        {"Focusrite USB ASIO", 4, false, 0, false, "open 0 in 2 128", 2},
        {"Focusrite USB ASIO", 1, false, 0, false, "open 0 in 1 128", 1},
        {"Focusrite USB ASIO", 0, false, 0, false, "open 0 128", 0},
        {"Focusrite USB ASIO", 2, false, 1, false, "open 0 128", 0},
        {"Focusrite USB ASIO", 2, false, 0, true, "open 0 in 2 128", 2},  // the K10 lock is the generic driver's
        {"ASIO4ALL v2", 2, false, 0, false, "open 0 in 2 128", 2},
        {"ASIO4ALL v2", 2, false, 0, true, "open 0 128", 0},
        {"ASIO4ALL v2", 2, false, 1, false, "open 0 128", 0},
        {"Speakers (High Definition Audio)", 0, true, 0, true, "open 0 128", 0},
    };
    for (const Case& c : cases) {
        ResetDeviceWorld();
        scripted.render.endpoints = {kSpeakers};
        if (c.k10) scripted.render.endpoints.push_back(kK10Output);
        engine.studioMode = c.mode;
        AddDriver(c.name, c.inputs, 2, c.generic);
        BringUp();
        ASSERT_FALSE(Calls().empty()) << c.name;
        EXPECT_EQ(Calls()[0], c.open) << c.name << " mode " << c.mode << " k10 " << c.k10;
        EXPECT_EQ(engine.inputChannels.load(), c.inputChannels) << c.name;
        ShutDownStudioAudio();
    }
}

TEST_F(BringUpTest, TheGenericDriverBridgesTheBestMicrophoneAndNativeDriversUseTheirInputs) {
    AddDriver("ASIO4ALL v2");
    std::string console = BringUp();
    EXPECT_TRUE(IsMicBridgeRunning());
    EXPECT_TRUE(engine.micBridgeEnabled.load());
    EXPECT_TRUE(engine.micBridgeRunning.load());
    EXPECT_EQ(micBridge.openedId, kUsbMic.id);
    EXPECT_TRUE(Has(console, "[APP-P2.6] GENERIC WASAPI MIC DIRECT BRIDGE: Microphone (USB Audio Device) -> Vocal Bus\n"))
        << console;
    EXPECT_EQ(StoredConfigValue("wasapi_mic_input_id"), kUsbMic.id);

    // Only the cable's capture side: no microphone, so no howl from the beat.
    ShutDownStudioAudio();
    ResetDeviceWorld();
    scripted.capture.endpoints = {kCableCapture};
    AddDriver("ASIO4ALL v2");
    console = BringUp();
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_FALSE(engine.micBridgeEnabled.load());
    EXPECT_TRUE(Has(console, "[APP-P2.6] No usable Windows recording endpoint; Native ASIO path remains available.\n"))
        << console;
    EXPECT_NE(StoredConfigValue("wasapi_mic_input_id"), kCableCapture.id);
    EXPECT_NE(appConfig.wasapiMicInputId, kCableCapture.id);

    ShutDownStudioAudio();
    ResetDeviceWorld();
    scripted.capture.endpoints = {kUsbMic};
    scripted.render.endpoints = {kK10Output};
    AddDriver("ASIO4ALL v2");
    console = BringUp();
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_TRUE(Has(console, "[APP-P3.5] K10 compatibility mode: Studio Mic DISABLED; output remains available.\n"))
        << console;

    for (const char* native : {"Focusrite USB ASIO", "ASIO4ALL v2"}) {
        ShutDownStudioAudio();
        ResetDeviceWorld();
        scripted.capture.endpoints = {kUsbMic};
        engine.studioMode = native[0] == 'A' ? 1 : 0;  // BEAT ONLY on the generic one
        AddDriver(native);
        console = BringUp();
        EXPECT_FALSE(IsMicBridgeRunning()) << native;
        EXPECT_FALSE(engine.micBridgeEnabled.load()) << native;
        EXPECT_FALSE(Has(console, "[APP-P2.6]")) << console;
    }
}

TEST_F(BringUpTest, TheSoundServersDevicesPlayTheGenericDriverWhateverTheirNames) {
    scripted.capture.endpoints = {kUsbMic};
    AddDriver("Focusrite Scarlett 2i2 Analog Stereo", 0, 2, true);
    AddDriver("system", 2, 2, false);
    const std::string console = BringUp();
    EXPECT_EQ(RunningDriver(), "system");  // rank 7 beats the generic 5
    EXPECT_FALSE(IsMicBridgeRunning());
    EXPECT_TRUE(IsAsio4AllName("Focusrite Scarlett 2i2 Analog Stereo"));
    EXPECT_FALSE(IsAsio4AllName("system"));

    ShutDownStudioAudio();
    appConfig.asioDeviceName = "Focusrite Scarlett 2i2 Analog Stereo";
    const std::string generic = BringUp();
    EXPECT_EQ(RunningDriver(), "Focusrite Scarlett 2i2 Analog Stereo");
    EXPECT_EQ(Calls().back(), "start 0");
    EXPECT_TRUE(IsMicBridgeRunning()) << generic;
}
}  // namespace
