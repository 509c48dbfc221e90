// Start-up of the Studio stream over scripted drivers: the choice, the console, the message boxes, the inputs.
#include "tests/devices/device_world.h"

namespace {
using BringUpTest = StudioWorld;

TEST_F(BringUpTest, TheBestRankedOrTheExactlyStoredDriverRunsAndSaysSo) {
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"ASIO Link Pro", "UMC ASIO Driver", "Behringer USB Audio", "Realtek ASIO"}, "", "UMC ASIO Driver"},
        {{"ASIO Link Pro", "FL Studio ASIO"}, "", "FL Studio ASIO"},
        {{"FL Studio ASIO", "Realtek ASIO"}, "", "Realtek ASIO"},
        {{"focusrite usb", "Steinberg UR22"}, "", "Steinberg UR22"},  // names are case-sensitive
        {{"Focusrite USB ASIO", "ASIO4ALL v2"}, "ASIO4ALL v2", "ASIO4ALL v2"},
        {{"Focusrite USB ASIO", "ASIO4ALL v2"}, "asio4all v2", "Focusrite USB ASIO"},
        {{"ASIO4ALL v2", "Focusrite USB ASIO", "Yamaha Steinberg USB ASIO"}, "Gone Driver", "Focusrite USB ASIO"}};
    for (const auto& [drivers, stored, runs] : cases) {
        SCOPED_TRACE(runs + " stored " + stored);
        Fresh();
        for (const std::string& name : drivers) AddDriver(name);
        appConfig.asioDeviceName = stored;
        BringUp();
        EXPECT_EQ(RunningDriver(), runs);
        EXPECT_TRUE(drivers[studioHost.currentDriverIndex] == runs && appConfig.asioDeviceName == runs);
    }
    EXPECT_TRUE(studioHost.asioAvailable && scripted.messages.empty() && studioHost.currentDeviceId == 1u);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open 1 in 2 128", "start 1"}));
}

TEST_F(BringUpTest, DriversThatCannotCarryTwoOutputsAreNeverListedAndHostAndProbeErrorsAreSaid) {
    AddDriver("ASIOVADPRO Virtual", 2, 2);
    AddDriver("CABLE Input (VB-Audio Virtual Cable)", 0, 2, true);  // the beat's own cable
    AddDriver("Focusrite Mic Only", 2, 0);
    AddDriver("Focusrite Mono Out", 2, 1);
    EXPECT_TRUE(Has(BringUp(), "Khong co ASIO"));
    EXPECT_TRUE(studioHost.asioDrivers.empty() && Calls().empty() && !studioHost.asioAvailable && !miniPlayerActive);
    ShutDownStudioAudio();
    AddDriver("ASIO4ALL v2");
    BringUp();
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2") << "ids are the host's, not the list's";
    Fresh();
    scripted.driverHost.createFails = true;
    scripted.driverHost.createError = "no sound server";
    EXPECT_TRUE(Has(BringUp(), "chua san sang: no sound server"));
    EXPECT_FALSE(DriverHostExists() || studioHost.asioAvailable);
    Fresh();
    ScriptedDriver& broken = AddDriver("Broken");
    broken.probeFails = true;
    broken.probeError = "driver crashed while probing";
    AddDriver("ASIO4ALL v2");
    EXPECT_TRUE(Has(BringUp(), "loi: driver crashed while probing"));
    EXPECT_EQ(RunningDriver(), "ASIO4ALL v2");
}

TEST_F(BringUpTest, AFailedFirstOpenTurnsStudioOffWithOneMessageAndLeavesNothingOpen) {
    AddDriver("Focusrite USB ASIO").startError = "sample rate 48000 not supported";
    BringUp();
    EXPECT_FALSE(studioHost.asioAvailable || miniPlayerActive || engine.inputChannels.load() != 0);
    EXPECT_FALSE(IsDriverStreamOpen()) << "a later restore can open it again";
    ASSERT_EQ(scripted.messages.size(), 1u);
    const ScriptedMessage& m = scripted.messages[0];
    EXPECT_TRUE(Has(m.text, "sample rate 48000 not supported") && m.icon == MessageIcon::Warning && !m.owned);
}

TEST_F(BringUpTest, TheGrantedBufferSizeIsWhatRunsAndAShutDownLeavesNoDriverBehind) {
    appConfig.asioBufferFrames = 64;
    AddDriver("Focusrite USB ASIO").grantedFrames = 96;
    EXPECT_TRUE(Has(BringUp(), "o muc 96 frames"));
    EXPECT_TRUE(Calls()[0] == "open 0 in 2 64" && studioHost.studioBufferFrames == 96u);
    ShutDownStudioAudio();
    EXPECT_FALSE(IsDriverStreamOpen() || DriverHostExists());
}

TEST_F(BringUpTest, TheInputRuleFollowsStudioModeTheDriverTheMicrophoneAndTheK10) {
    // The driver, its inputs, whether it is the generic one, a real microphone, a K10, Studio Mode, what runs.
    const std::tuple<const char*, uint32_t, bool, bool, bool, int32_t, std::string, const char*> cases[] = {
        {"Focusrite USB ASIO", 4, false, true, false, 0, "open 0 in 2 128", ""},
        {"Focusrite USB ASIO", 1, false, true, false, 0, "open 0 in 1 128", ""},
        {"Focusrite USB ASIO", 0, false, true, false, 0, "open 0 128", ""},
        {"Focusrite USB ASIO", 2, false, true, false, 1, "open 0 128", ""},
        {"Focusrite USB ASIO", 2, false, true, true, 0, "open 0 in 2 128", ""},  // the K10 lock is the generic's
        {"ASIO4ALL v2", 2, false, true, false, 0, "open 0 in 2 128", "DIRECT BRIDGE: Microphone (USB Audio Device)"},
        {"ASIO4ALL v2", 2, false, false, false, 0, "open 0 in 2 128", "No usable"},  // the cable alone: no howl
        {"ASIO4ALL v2", 2, false, true, true, 0, "open 0 128", "K10 compatibility"},
        {"ASIO4ALL v2", 2, false, true, false, 1, "open 0 128", ""},
        {"Speakers (High Definition Audio)", 0, true, true, true, 0, "open 0 128", "K10 compatibility"},
        {"Focusrite Scarlett 2i2 Analog Stereo", 0, true, true, false, 0, "open 0 128", "DIRECT BRIDGE"}};
    for (const auto& [name, inputs, generic, mic, k10, mode, open, says] : cases) {
        SCOPED_TRACE(::testing::Message() << name << " mode " << mode << " k10 " << k10 << " mic " << mic);
        Fresh();
        if (k10) scripted.render.endpoints.push_back(kK10Output);
        if (!mic) scripted.capture.endpoints = {kCableCapture};
        engine.studioMode = mode;
        AddDriver(name, inputs, 2, generic);
        const std::string console = BringUp();
        EXPECT_EQ(Calls(), (std::vector<std::string>{open, "start 0"}));
        EXPECT_EQ(engine.inputChannels.load(), open.find(" in ") == std::string::npos ? 0 : open[10] - '0');
        EXPECT_TRUE(*says ? Has(console, says) : !Has(console, "[APP-P")) << console;
        const bool bridged = Has(says, "DIRECT BRIDGE");
        EXPECT_TRUE(IsMicBridgeRunning() == bridged && engine.micBridgeEnabled.load() == bridged &&
                    engine.micBridgeRunning.load() == bridged && (micBridge.openedId == kUsbMic.id) == bridged);
        EXPECT_EQ(StoredConfigValue("wasapi_mic_input_id") == kUsbMic.id, bridged);
        EXPECT_TRUE(appConfig.wasapiMicInputId != kCableCapture.id &&
                    StoredConfigValue("wasapi_mic_input_id") != kCableCapture.id);
    }
    Fresh();  // the sound server's own devices play the generic driver whatever their names, and rank 5
    AddDriver("Focusrite Scarlett 2i2 Analog Stereo", 0, 2, true);
    AddDriver("system", 2, 2, false);
    BringUp();
    EXPECT_TRUE(RunningDriver() == "system" && !IsMicBridgeRunning());
}
}  // namespace
