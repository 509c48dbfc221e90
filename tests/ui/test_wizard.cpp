// The Setup Wizard in real GUI frames on the scripted machine: each step's checks, its choices, the cable made and
// the browser routed, and how it ends.

#include <gtest/gtest.h>

#include "devices/beat_capture.h"
#include "tests/devices/device_world.h"
#include "tests/ui/frame_harness.h"
#include "ui/shell_frame.h"

namespace {
class Wizard : public StudioWorld {
protected:
    ShellState shell;
    void SetUp() override {
        StudioWorld::SetUp();
        StartHeadlessUi();
    }
    void TearDown() override {
        CloseBeatCapture();
        StopHeadlessUi();
        StudioWorld::TearDown();
    }
    std::function<void()> Draw() {
        return [this] { DrawShellFrame(shell); };
    }
    void Frame() {
        BeforeShellFrame(shell);
        RunFrame(Draw());
    }
    // The wizard opened at a step; a popup's items are where they show from its second frame on.
    void OpenAt(int32_t step) {
        shell.wizard.setupWizardStep = step;
        shell.setupWizardPending = true;
        Frame();
        Frame();
    }
    bool ClickOn(const std::string& label) {
        const bool found = Click(label, Draw());
        Frame();
        return found;
    }
    bool Pick(const std::string& combo, const std::string& entry) { return ClickOn(combo) && ClickOn(entry); }
    static bool Shown(const std::string& label) { return FindItem(label) != nullptr; }
};

TEST_F(Wizard, EachMachineIsToldWhatIsReadyAndWhatIsMissing) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, bool>> drivers;  // name, generic
        bool k10;
        std::vector<const char*> shown;
        std::vector<const char*> hidden;
        const char* studio;
    };
    const char* const noAsio =
        "May nay khong co ASIO. Co the bo qua buoc nay va dung Mini Player 3.5mm / Bluetooth / HDMI.";
    const char* const miniHint =
        "Mini Player van co the dung WASAPI 3.5mm / Bluetooth / HDMI ngay ca khi Studio chua co ASIO.";
    const Case cases[] = {
        {"no driver",
         {},
         false,
         {"ASIO cho Studio", "CAI ASIO4ALL (FALLBACK)", miniHint},
         {"STUDIO ASIO: SAN SANG"},
         "Studio: Studio ASIO: chua co soundcard"},
        {"generic only with K10",
         {{"ASIO4ALL v2", false}},
         true,
         {"K10 Compatibility Output", "ASIO4ALL + K10", miniHint},
         {"STUDIO ASIO: SAN SANG", "CAI ASIO4ALL (FALLBACK)"},
         "Studio: ASIO4ALL v2"},
        {"native and generic",
         {{"ASIO4ALL v2", false}, {"Focusrite USB ASIO", false}},
         false,
         {"Native ASIO", "ASIO4ALL: KHONG CAN - da co Native ASIO.", "STUDIO ASIO: SAN SANG"},
         {"ASIO4ALL fallback", "CAI ASIO4ALL (FALLBACK)"},
         "Studio: Focusrite USB ASIO"},
        {"the sound server's device is the fallback whatever its name",
         {{"Scarlett 2i2 Analog Stereo", true}},
         false,
         {"ASIO4ALL fallback", "STUDIO ASIO: SAN SANG"},
         {"Native ASIO"},
         "Studio: Scarlett 2i2 Analog Stereo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        for (const auto& [name, generic] : c.drivers) AddDriver(name, 2, 2, generic);
        if (c.k10) scripted.render.endpoints.push_back(kK10Output);
        RefreshOutputs();
        BringUp();
        OpenAt(0);
        for (const char* label : c.shown) EXPECT_TRUE(Shown(label)) << label;
        for (const char* label : c.hidden) EXPECT_FALSE(Shown(label)) << label;
        ASSERT_TRUE(ClickOn("TIEP TUC >"));
        EXPECT_EQ(Shown(noAsio), c.drivers.empty());
        OpenAt(5);
        EXPECT_TRUE(Shown(c.studio));
        ClickOn("BO QUA");
    }
}

TEST_F(Wizard, TheChoicesOfTheStepsArePostedAndKept) {
    appConfig.asioBufferFrames = 512;
    AddDriver("Focusrite USB ASIO", 1);
    AddDriver("ASIO4ALL v2");
    BringUp();
    engine.micChannelMode = 2;
    OpenAt(2);
    EXPECT_TRUE(Shown("Mic Input: Cong 1 (mono)") && engine.micChannelMode == 0 && appConfig.micChannel == 0)
        << "one input: port 1";
    EXPECT_TRUE(Shown("CHO TIN HIEU..."));
    engine.micPeak = 0.5f;
    Frame();
    EXPECT_TRUE(Shown("CO TIN HIEU")) << "the microphone is shown live";
    ASSERT_TRUE(Pick("Buffer", "128 samples (khuyen dung)")) << "512 shows as 128";
    EXPECT_TRUE(studioHost.studioBufferFrames == 128 && appConfig.asioBufferFrames == 128) << "posted, then switched";
    ASSERT_TRUE(ClickOn("< QUAY LAI") && Pick("Soundcard", "ASIO4ALL v2"));
    EXPECT_TRUE(RunningDriver() == "ASIO4ALL v2" && StoredConfigValue("asio_device_name") == "ASIO4ALL v2");
    scripted.render.endpoints.push_back(kHeadphones);
    OpenAt(4);
    ASSERT_TRUE(Pick("Mini Output", kHeadphones.name)) << "listed again when the step is shown";
    ASSERT_TRUE(Pick("Profile", "Bluetooth - on dinh"));
    EXPECT_TRUE(appConfig.miniOutputId == kHeadphones.id && appConfig.miniOutputMode == 1);
}

TEST_F(Wizard, TheCableIsMadeTheBrowserRoutedAndTheBeatConfirmed) {
    scripted.launcher.installed = {"/usr/bin/xdg-open", "/usr/bin/pavucontrol"};
    scripted.soundServer.streams = {{7, "Brave", "brave"}, {9, "paplay", "paplay"}};
    OpenAt(3);
    ASSERT_TRUE(Shown("CHUA TIM THAY VB-CABLE."));
    scripted.soundServer.loadError = "Module initialization failed";
    ASSERT_TRUE(ClickOn("TAO VB-CABLE") && ClickOn("TAO CABLE"));
    EXPECT_TRUE(Shown("Khong tao duoc CABLE: Module initialization failed")) << "told in the window";
    scripted.soundServer.loadError.clear();
    ASSERT_TRUE(ClickOn("TAO VB-CABLE") && ClickOn("TAO CABLE"));
    EXPECT_TRUE(beatCapture.beatCaptureReady && Shown("VB-CABLE: SAN SANG") &&
                scripted.render.endpoints.back().id == kCable.id);

    ClickOn("CHUYEN BRAVE VAO CABLE");
    ClickOn("MO WINDOWS APP VOLUME");
    EXPECT_TRUE(scripted.soundServer.moves.empty() && scripted.launcher.launched.empty()) << "not before the browser";
    ASSERT_TRUE(ClickOn("MO BRAVE / YOUTUBE KARAOKE"));
    ASSERT_TRUE(ClickOn("CHUYEN BRAVE VAO CABLE"));
    EXPECT_EQ(scripted.soundServer.moves, std::vector<std::string>{"7 -> CABLE_Input"});
    EXPECT_TRUE(Shown("Da chuyen Brave #7 -> CABLE Input."));
    scripted.soundServer.streams.erase(scripted.soundServer.streams.begin());
    ClickOn("CHUYEN BRAVE VAO CABLE");
    EXPECT_NE(FindItem("Khong tim thay trinh duyet dang phat am thanh. Bam PLAY video trong Brave roi thu lai. (Dang "
                       "phat: paplay #9)"),
              nullptr);

    engine.cablePeak = 0.008f;
    Frame();
    EXPECT_FALSE(shell.wizard.wizardBeatConfirmed);
    engine.cablePeak = 0.009f;
    Frame();
    engine.cablePeak = 0.0f;
    Frame();
    EXPECT_TRUE(shell.wizard.wizardBeatConfirmed && Shown("BRAVE -> VB-CABLE: DA KET NOI")) << "latched";
}

TEST_F(Wizard, SkippingMarksSetupDoneButOnlyFinishingRecordsItsVersion) {
    for (const auto& [step, button, version] : {std::tuple{0, "BO QUA", "1"}, std::tuple{5, "HOAN TAT", "2"}}) {
        SCOPED_TRACE(button);
        Fresh();
        OpenAt(step);
        ASSERT_TRUE(ClickOn(button));
        EXPECT_TRUE(StoredConfigValue("setup_complete") == "1" && StoredConfigValue("setup_version") == version);
        EXPECT_FALSE(Shown("Sonavela Setup Wizard")) << "closed";
    }
}
}  // namespace
