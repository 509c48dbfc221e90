// The program itself under a virtual display (Xvfb) with the PulseAudio test
// server: its window, its screenshot, a second start and an orderly end.

#include <gtest/gtest.h>
#include <stb_image.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/private_server.h"
#include "tests/support/shell.h"
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

// Waits up to the bound for the text to show up in the file.
bool WaitForText(const fs::path& file, const std::string& text, double seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (ReadFile(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
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
        display = std::make_unique<Background>("exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>'" +
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

// Pixels unlike the clear colour and colours in all: a frame that drew nothing has neither.
void ExpectDrawnPicture(const fs::path& png) {
    int w = 0;
    int h = 0;
    int n = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &w, &h, &n, 3);
    ASSERT_NE(pixels, nullptr) << png;
    size_t drawn = 0;
    std::set<int> colours;
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        const unsigned char* p = pixels + 3 * i;
        if (std::abs(p[0] - 26) + std::abs(p[1] - 28) + std::abs(p[2] - 33) > 6) ++drawn;
        colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
    }
    stbi_image_free(pixels);
    EXPECT_GT(drawn, static_cast<size_t>(w) * h / 5);
    EXPECT_GT(colours.size(), 200u);
}
}  // namespace

TEST_F(WindowProgram, OpensTheStudioRaisesItselfForASecondStartAndEndsInOrder) {
    const fs::path png = fs::path(SONAVELA_SCREENSHOT_DIR) / "studio.png";
    auto first = Start("first.log", "SONAVELA_SCREENSHOT='" + png.string() + "'");
    ASSERT_TRUE(WaitForText(dir / "first.log", "[OK] Anh chup cua so")) << ReadFile(dir / "first.log");
    ExpectDrawnPicture(png);

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

TEST_F(WindowProgram, WithoutASoundServerItStillOpensTheMainShell) {
    const fs::path png = dir / "no_server.png";
    auto program = Start("alone.log", "PULSE_SERVER=unix:/nonexistent JACK_DEFAULT_SERVER=none SONAVELA_SCREENSHOT='" +
                                          png.string() + "'");
    ASSERT_TRUE(WaitForText(dir / "alone.log", "[OK] Anh chup cua so")) << ReadFile(dir / "alone.log");
    ExpectDrawnPicture(png);
    EXPECT_EQ(program->Stop(), 0);
    const std::string log = ReadFile(dir / "alone.log");
    EXPECT_NE(log.find("[INFO] Chua tim thay VB-Audio CABLE"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] Khong co ASIO - Main Shell van hoat dong"), std::string::npos) << log;
}

// The singer's view of Tone Control: two clicks on "+  TANG" in the real window, and the beat that reaches
// the speakers is two semitones up. The button is found where the same layout draws it at the window's size.
TEST_F(WindowProgram, TwoClicksOnTangPlayTheBeatTwoSemitonesHigher) {
    PrivateServer server{(dir / "server").string()};
    ASSERT_TRUE(server.Start());
    auto program = Start("tone.log", "JACK_DEFAULT_SERVER=none");
    ASSERT_TRUE(WaitForText(dir / "tone.log", "ASIO Stream da kich hoat")) << ReadFile(dir / "tone.log");
    const std::string x = "env DISPLAY=" + displayName + " xdotool ";
    const std::string window = ShellWord(x + "search --sync --name 'Sonavela Studio'");
    std::istringstream geometry(Shell(x + "getwindowgeometry --shell " + window));
    int width = 0;
    int height = 0;
    for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
        if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
    }
    ASSERT_GT(width * height, 0) << window;
    StartHeadlessUi(ImVec2(static_cast<float>(width), static_cast<float>(height)));
    ShellState shell;
    for (int i = 0; i < 4; ++i) RunFrame([&] { DrawShellFrame(shell); });
    const ProbedItem* button = FindItem("+  TANG");
    ASSERT_NE(button, nullptr);
    const std::string at = std::to_string(static_cast<int>((button->min.x + button->max.x) / 2)) + " " +
                           std::to_string(static_cast<int>((button->min.y + button->max.y) / 2));
    StopHeadlessUi();

    Background beat(
        "sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 8 sine 440 vol 0.5 | "
        "pacat --playback -d CABLE_Input --format=float32le --rate=48000 --channels=2 --raw");
    for (int i = 0; i < 2; ++i) {
        Shell(x + "mousemove --window " + window + " " + at + " click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    MonitorRecording speakers("Speakers_Builtin", dir / "speakers.raw");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::vector<float> out = speakers.Stop();
    EXPECT_NEAR(EstimateFrequency(out, out.size() / 4, out.size()), 493.88, 1.5) << ReadFile(dir / "tone.log");
    EXPECT_EQ(program->Stop(), 0);
}
