// The program itself under a virtual display (Xvfb) with the PulseAudio test
// server: its window, its screenshot, a second start and an orderly end.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "app/device_actions.h"
#include "devices/beat_capture.h"
#include "devices/player_mode.h"
#include "engine/engine_params.h"
#include "tests/support/drawn_picture.h"
#include "tests/support/private_server.h"
#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"
#include "tests/ui/frame_harness.h"
#include "tools/synth/signals.h"
#include "ui/shell_frame.h"

namespace {
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Polls until the condition holds or the bound passes.
bool WaitUntil(const std::function<bool()>& holds, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (holds()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool WaitForText(const fs::path& file, const std::string& text, double seconds = 30) {
    return WaitUntil([&] { return ReadFile(file).find(text) != std::string::npos; }, seconds);
}

class WindowProgram : public ::testing::Test {
protected:
    fs::path dir;
    std::unique_ptr<Background> display;
    std::string env;
    std::string displayName;

    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "sonavela-window-XXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir = t;
        display = std::make_unique<Background>("exec Xvfb -displayfd 3 -screen 0 1280x1600x24 -nolisten tcp 3>'" +
                                               (dir / "display").string() + "' 2>/dev/null");
        ASSERT_TRUE(WaitForText(dir / "display", "\n", 10)) << "Xvfb did not start";
        const std::string number = ReadFile(dir / "display").substr(0, ReadFile(dir / "display").find('\n'));
        displayName = ":" + number;
        fs::create_directories(dir / "run");
        fs::permissions(dir / "run", fs::perms::owner_all);
        env = "DISPLAY=:" + number + " HOME='" + dir.string() + "' XDG_DATA_HOME='" + (dir / "data").string() +
              "' XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_RUNTIME_DIR='" + (dir / "run").string() + "' ";
    }
    void TearDown() override {
        display.reset();
        fs::remove_all(dir);
    }
    std::unique_ptr<Background> Start(const std::string& name, const std::string& extraEnv = "") {
        return std::make_unique<Background>("exec env " + env + extraEnv + " '" SONAVELA_PROGRAM_PATH "' >'" +
                                            (dir / name).string() + "' 2>&1");
    }
};

void ExpectScreenshot(const fs::path& png) {
    int width = 0;
    int height = 0;
    ExpectDrawnPicture(png.string(), width, height);
}
}  // namespace

TEST_F(WindowProgram, OpensTheStudioRaisesItselfForASecondStartAndEndsInOrder) {
    const fs::path png = fs::path(SONAVELA_SCREENSHOT_DIR) / "studio.png";
    auto first = Start("first.log", "SONAVELA_SCREENSHOT='" + png.string() + "'");
    ASSERT_TRUE(WaitForText(dir / "first.log", "[OK] Anh chup cua so")) << ReadFile(dir / "first.log");
    ExpectScreenshot(png);

    int status = -1;
    Shell("env " + env + " timeout 10 '" SONAVELA_PROGRAM_PATH "' >'" + (dir / "second.log").string() + "' 2>&1",
          &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(WaitForText(dir / "first.log", "[INFO] Mot ban Sonavela khac vua mo", 5));
    EXPECT_EQ(ReadFile(dir / "second.log").find("Sonavela ASIO Core"), std::string::npos) << "it started again";

    EXPECT_EQ(first->Stop(), 0);
    const std::string log = ReadFile(dir / "first.log");
    EXPECT_NE(log.find("[OK] Sonavela da dong."), std::string::npos) << log;
    EXPECT_EQ(log.find("khong co trong font"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(dir / "data/Brivanta/Sonavela/sonavela_config.txt"));
}

TEST_F(WindowProgram, WithoutASoundServerItStillOpensTheMainShellAndEndsWithItsDisplay) {
    const fs::path png = dir / "no_server.png";
    auto program = Start("alone.log", "PULSE_SERVER=unix:/nonexistent JACK_DEFAULT_SERVER=none SONAVELA_SCREENSHOT='" +
                                          png.string() + "'");
    ASSERT_TRUE(WaitForText(dir / "alone.log", "[OK] Anh chup cua so")) << ReadFile(dir / "alone.log");
    ExpectScreenshot(png);
    display.reset();  // the display goes away under the window: the program still ends in order
    EXPECT_TRUE(WaitForText(dir / "alone.log", "[OK] Sonavela da dong.", 10));
    EXPECT_EQ(program->Stop(), 0);
    const std::string log = ReadFile(dir / "alone.log");
    EXPECT_NE(log.find("[INFO] Chua tim thay VB-Audio CABLE"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] Khong co ASIO - Main Shell van hoat dong"), std::string::npos) << log;
}

// The real window's items, found where the same layout draws them headless at the window's size (with the
// outputs the program lists), and clicked with xdotool.
class WindowClicks : public WindowProgram {
protected:
    std::unique_ptr<PrivateServer> server;
    std::unique_ptr<Background> program;
    std::string window;
    ImVec2 size;
    ShellState shell;
    // The program on a private server, set up as the config says; `setUp` runs on the server before it starts.
    void StartProgram(const std::string& config = "setup_complete=1\n", const std::string& extraEnv = "",
                      const std::function<void()>& setUp = {}) {
        server = std::make_unique<PrivateServer>((dir / "server").string());
        ASSERT_TRUE(server->Start());
        if (setUp) setUp();
        fs::create_directories(dir / "data/Brivanta/Sonavela");
        std::ofstream(dir / "data/Brivanta/Sonavela/sonavela_config.txt") << config;
        program = Start("program.log", "JACK_DEFAULT_SERVER=none " + extraEnv);
        ASSERT_TRUE(WaitForText(dir / "program.log", "ASIO Stream da kich hoat")) << ReadFile(dir / "program.log");
        window = ShellWord(Xdo() + "search --sync --onlyvisible --name 'Sonavela Studio'");
        std::this_thread::sleep_for(std::chrono::seconds(1));  // its first frames drawn, so a click is not lost
        RefreshOutputs();
    }
    std::string Xdo() const { return "env DISPLAY=" + displayName + " xdotool "; }
    void MeasureWindow() {
        std::istringstream geometry(Shell(Xdo() + "getwindowgeometry --shell " + window));
        for (std::string line; std::getline(geometry, line);) {
            if (line.rfind("WIDTH=", 0) == 0) size.x = std::stof(line.substr(6));
            if (line.rfind("HEIGHT=", 0) == 0) size.y = std::stof(line.substr(7));
        }
    }
    // Clicks the last label of the path; the ones before it were clicked already (a button that opens a
    // popup), and are clicked headless so that the layout shows what the window shows.
    void ClickItem(const std::vector<std::string>& path) {
        MeasureWindow();
        StartHeadlessUi(size);
        const auto draw = [&] { DrawShellFrame(shell); };
        shell.setupWizardPending = !shell.wizard.cableSaid.empty() || shell.wizard.setupWizardStep > 0;
        for (int i = 0; i < 6; ++i) RunFrame(draw);
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            ASSERT_TRUE(Click(path[i], draw)) << path[i];
            for (int f = 0; f < 3; ++f) RunFrame(draw);  // the popup sized and placed
        }
        const ProbedItem* item = FindItem(path.back());
        ASSERT_NE(item, nullptr) << path.back();
        const std::string at = std::to_string(static_cast<int>((item->min.x + item->max.x) / 2)) + " " +
                               std::to_string(static_cast<int>((item->min.y + item->max.y) / 2));
        StopHeadlessUi();
        Shell(Xdo() + "mousemove --window " + window + " " + at + " click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    void ClickItem(const char* label) { ClickItem(std::vector<std::string>{label}); }
    // Polls the shell command until its output holds the text.
    static bool WaitForOutput(const std::string& command, const std::string& text, double seconds = 10) {
        return WaitUntil([&] { return Shell(command).find(text) != std::string::npos; }, seconds);
    }
    // The 440 Hz tone played into the cable while `act` runs, and the beat that then reached the speakers.
    double SpeakersFrequency(const std::function<void()>& act, const std::string& speakers = "Speakers_Builtin") {
        Background beat(
            "sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 8 sine 440 vol 0.5 | "
            "pacat --playback -d CABLE_Input --format=float32le --rate=48000 --channels=2 --raw");
        act();
        return SpeakersNow(speakers);
    }
    double SpeakersNow(const std::string& sink = "Speakers_Builtin") {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        MonitorRecording speakers(sink, dir / "speakers.raw");
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::vector<float> out = speakers.Stop();
        return EstimateFrequency(out, out.size() / 4, out.size());
    }
    void TearDown() override {
        if (program) {
            EXPECT_EQ(program->Stop(), 0);
        }
        server.reset();  // before its folder goes
        WindowProgram::TearDown();
    }
};

// Tone Control as the singer uses it: two clicks on "+  TANG" and the speakers play the beat two semitones up.
TEST_F(WindowClicks, TwoClicksOnTangPlayTheBeatTwoSemitonesHigher) {
    StartProgram();
    const double played = SpeakersFrequency([&] {
        for (int i = 0; i < 2; ++i) ClickItem("+  TANG");
    });
    EXPECT_NEAR(played, 493.88, 1.5) << ReadFile(dir / "program.log");
}

// A take started and stopped from the recorder panel is a WAV file libsndfile reads back, as long as it ran.
TEST_F(WindowClicks, ARecordingFromThePanelIsAWavFileOfItsLength) {
    StartProgram();
    ClickItem("●  BẮT ĐẦU THU");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    engine.recorderActive = true;  // the panel's face while it records
    ClickItem("[ DANG THU 00:00:00 ] - BAM DE DUNG & LUU###StopRecBtn");
    engine.recorderActive = false;
    std::vector<fs::path> takes;
    for (const auto& f : fs::recursive_directory_iterator(dir)) {
        if (f.path().extension() == ".wav") takes.push_back(f.path());
    }
    ASSERT_EQ(takes.size(), 1u) << ReadFile(dir / "program.log");
    const size_t samples = ReadPcm16(takes[0].string()).size();
    EXPECT_TRUE(samples > 48000 * 2 && samples < 4 * 48000 * 2) << samples;  // about the two seconds between the clicks
}

// The Mini Player as the singer enters it: its button, the confirmation, and two clicks on "[+] TANG 1"; the beat
// in the cable then plays two semitones up on the Mini output (the K10, not the Studio's speakers).
TEST_F(WindowClicks, TheMiniPlayerPlaysTheCableKeyShiftedOnItsOwnOutput) {
    StartProgram("setup_complete=1\nmini_output_id=Speakers_XOX\n");
    ClickItem("CHUYỂN SANG MINI PLAYER");
    ClickItem({"CHUYỂN SANG MINI PLAYER", " ĐỒNG Ý CHUYỂN "});
    ASSERT_TRUE(WaitForOutput(Xdo() + "getwindowgeometry --shell " + window, "WIDTH=460"))
        << ReadFile(dir / "program.log");
    miniPlayerActive = true;  // the window's face from now on
    const double played = SpeakersFrequency(
        [&] {
            for (int i = 0; i < 2; ++i) ClickItem("[+] TANG 1");
        },
        "Speakers_XOX");
    miniPlayerActive = false;
    EXPECT_NEAR(played, 493.88, 1.5) << ReadFile(dir / "program.log");
}

// A first start without a cable: the wizard's cable step makes it, the "browser" it opens starts playing on
// other speakers, and one click moves that stream onto the cable, whose beat then reaches the Studio output.
TEST_F(WindowClicks, TheWizardMakesTheCableAndMovesTheBrowserIntoIt) {
    fs::create_directories(dir / "bin");
    std::ofstream(dir / "bin/brave-browser")
        << "#!/bin/sh\nsox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 12 sine 440 vol 0.5 | "
           "pacat --playback -d Speakers_XOX --client-name=Brave --format=float32le --rate=48000 --channels=2 "
           "--raw\n";
    fs::permissions(dir / "bin/brave-browser", fs::perms::owner_all);
    StartProgram("", "SONAVELA_WIZARD_STEP=3 PATH='" + (dir / "bin").string() + ":" + std::getenv("PATH") + "'", [] {
        Shell("pactl unload-module $(pactl list modules short | grep 'sink_name=CABLE_Input' | cut -f1)");
    });
    shell.wizard.setupWizardStep = 3;
    ClickItem("TAO VB-CABLE");
    ClickItem({"TAO VB-CABLE", "TAO CABLE"});
    ASSERT_TRUE(WaitForText(dir / "program.log", "[OK] Da tao CABLE Input va mo capture."))
        << ReadFile(dir / "program.log");
    EXPECT_NE(Shell("pactl list sinks short").find("CABLE_Input"), std::string::npos);

    beatCapture.beatCaptureReady = true;  // the step as the window now shows it
    shell.wizard.cableDone = true;
    shell.wizard.cableSaid = "Da tao CABLE Input va mo capture.";
    ClickItem("MO BRAVE / YOUTUBE KARAOKE");
    ASSERT_TRUE(WaitForOutput("pactl list sink-inputs", "application.name = \"Brave\""));
    shell.wizard.wizardBraveOpened = true;
    ClickItem("CHUYEN BRAVE VAO CABLE");
    beatCapture.beatCaptureReady = false;
    EXPECT_TRUE(WaitForText(dir / "program.log", "[OK] Da chuyen Brave #")) << ReadFile(dir / "program.log");
    EXPECT_NEAR(SpeakersNow(), 440.0, 1.5);
}
