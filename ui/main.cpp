// sonavela: the program. One window, the Main Shell, over the audio that
// runs on threads of its own; it opens even without a cable, a sound server
// or a driver, and the Setup Wizard guides the user from there.

#include <imgui.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/shell_state.h"
#include "app/startup.h"
#include "persistence/data_folder.h"
#include "platform/app_window.h"
#include "platform/console.h"
#include "platform/single_instance.h"
#include "ui/shell_frame.h"
#include "ui/widgets/font.h"
#include "ui/widgets/theme.h"
#include "update/update_check.h"

namespace {
using Clock = std::chrono::steady_clock;

std::atomic<bool> quitRequested{false};

// A signal only asks; the frame loop ends at its next turn and shuts down in order.
void AskToQuit(int) { quitRequested = true; }

constexpr double kLongestWait = 0.1;  // a signal is seen within this
constexpr double kFastestFrame = 1.0 / 60;
constexpr int kFramesAfterInput = 3;  // hover and active states settle

void StartGui() {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The panel fills the window and its columns are sized every frame: there
    // is no layout to keep, and the library's file would be written in place.
    io.IniFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    std::string reason;
    if (!LoadUiFont(reason)) Console("[WARN] " + reason + "\n");
    ApplyTheme();
}

// The screenshot a test or a first run on a display-less machine asks for:
// the back buffer of the given frame, before its swap.
struct Screenshot {
    std::string path;
    long frame = 0;
};

Screenshot ScreenshotWanted() {
    Screenshot s;
    if (const char* path = std::getenv("SONAVELA_SCREENSHOT"); path != nullptr) s.path = path;
    s.frame = 30;
    if (const char* frame = std::getenv("SONAVELA_SCREENSHOT_FRAME"); frame != nullptr) {
        s.frame = std::max(1L, std::strtol(frame, nullptr, 10));
    }
    return s;
}

void SaveScreenshot(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height) {
    if (const int missing = CountMissingGlyphs(ImGui::GetDrawData()); missing > 0) {
        Console("[WARN] " + std::to_string(missing) + " ky tu tren cua so khong co trong font.\n");
    }
    Console(SavePng(path, pixels, width, height) ? "[OK] Anh chup cua so: " + path + "\n"
                                                 : "[WARN] Khong ghi duoc anh chup cua so: " + path + "\n");
}

void RunFrameLoop(ShellState& shell) {
    const Screenshot screenshot = ScreenshotWanted();
    const auto started = Clock::now();
    long framesDrawn = 0;
    uint64_t shown = 0;   // the picture on screen
    bool exposed = true;  // the screen lost it: draw whatever comes
    int framesAfterInput = kFramesAfterInput;
    auto lastFrame = Clock::now() - std::chrono::seconds(1);
    auto nextFrame = Clock::now();
    const auto fastest = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kFastestFrame));
    while (shell.running && !quitRequested) {
        const double untilNext = std::chrono::duration<double>(nextFrame - Clock::now()).count();
        bool quit = false;
        bool input = HandleWindowEvents(std::min(untilNext, kLongestWait), quit, exposed);
        if (quit || quitRequested) break;
        if (TakeRaiseRequest()) {
            Console("[INFO] Mot ban Sonavela khac vua mo - dua cua so len truoc.\n");
            RaiseAppWindow();
            input = true;
        }
        if (input) {
            // Answered on the next frame, but never faster than the display's rate.
            framesAfterInput = kFramesAfterInput;
            nextFrame = std::min(nextFrame, lastFrame + fastest);
        }
        BeforeShellFrame(shell);
        const auto now = Clock::now();
        if (AppWindowMinimised() || now < nextFrame) continue;
        lastFrame = now;
        if (framesAfterInput > 0) --framesAfterInput;
        BeginWindowFrame();
        ImGui::NewFrame();
        DrawShellFrame(shell);
        ImGui::Render();
        // The rasteriser's work is most of a frame's cost (all of it in
        // software): a frame that draws the same picture is not drawn again.
        const uint64_t picture = FrameFingerprint(ImGui::GetDrawData());
        const bool screenshotDue = !screenshot.path.empty() && framesDrawn < screenshot.frame;
        const bool capture = !screenshot.path.empty() && framesDrawn + 1 == screenshot.frame;
        if (picture != shown || exposed || screenshotDue) {
            ++framesDrawn;
            shown = picture;
            exposed = false;
            std::vector<uint8_t> pixels;
            int width = 0;
            int height = 0;
            const float clear[4] = {kClearColor.x, kClearColor.y, kClearColor.z, kClearColor.w};
            PresentWindowFrame(clear, capture ? &pixels : nullptr, width, height);
            if (capture) SaveScreenshot(screenshot.path, pixels, width, height);
        }
        // Without vertical sync (a virtual display) the loop paces itself.
        const double interval = framesAfterInput > 0 || screenshotDue
                                    ? kFastestFrame
                                    : std::max(kFastestFrame, SecondsToNextFrame(AppWindowDrawsInSoftware()));
        nextFrame = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    Console("[INFO] Cua so da ve " + std::to_string(framesDrawn) + " khung hinh trong " +
            std::to_string(static_cast<long>(seconds)) + " giay.\n");
}
}  // namespace

int main() {
    std::signal(SIGINT, AskToQuit);
    std::signal(SIGTERM, AskToQuit);
    std::string reason;
    const InstanceClaim claim = ClaimSingleInstance(GetDataFolder(), reason);
    if (claim == InstanceClaim::Second) {
        // The copy already running comes to the front instead.
        AskFirstInstanceToRaise(3000);
        return 0;
    }
    if (claim == InstanceClaim::Failed) Console("[WARN] Khong kiem tra duoc ban dang chay: " + reason + "\n");

    // First, as the audio devices need what it starts (COM, the console, the timer period on Windows).
    if (!StartWindowSystem(reason)) {
        Console("[WARN] Khong mo duoc cua so (" + reason + "). Can man hinh hoac Xvfb.\n");
        ReleaseSingleInstance();
        return 1;
    }
    ShellState shell;
    StartUpAudio(shell);
    StartGui();
    if (!OpenAppWindow(kWindowTitle, PlaceMainWindow(UsableDisplayBounds()), reason)) {
        Console("[WARN] Khong mo duoc cua so do hoa: " + reason + "\n");
        ImGui::DestroyContext();
        ShutDownAudio();
        StopWindowSystem();
        ReleaseSingleInstance();
        return 1;
    }
    FinishStartUp(shell);
    SetMoveSizeWork([&shell] { BeforeShellFrame(shell); });
    // A screenshot of a later step of the wizard opens it there.
    if (const char* step = std::getenv("SONAVELA_WIZARD_STEP"); step != nullptr) {
        shell.wizard.setupWizardStep = std::clamp(static_cast<int32_t>(std::strtol(step, nullptr, 10)), 0, 5);
    }
    RunFrameLoop(shell);
    if (AppWindowDisplayLost()) Console("[WARN] Mat ket noi voi man hinh - Sonavela dong lai va giu cai dat.\n");

    // A check still waiting on the server is abandoned before the libraries under it are torn down.
    StopUpdateCheck();
    CloseAppWindow();
    ImGui::DestroyContext();
    ShutDownAudio();
    StopWindowSystem();
    ReleaseSingleInstance();
    Console("[OK] Sonavela da dong.\n");
    return 0;
}
