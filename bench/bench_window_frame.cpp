// The window's own work per frame with the Studio layout, both filled
// columns and the device panels open: from the GUI
// library's new frame to its draw data and the digest that decides whether
// it is drawn, without rasterising (which a GPU, or
// under a virtual display the software rasteriser, does afterwards).

#include <benchmark/benchmark.h>
#include <imgui.h>

#include <string>

#include "app/shell_state.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "ui/shell_frame.h"
#include "ui/widgets/font.h"
#include "ui/widgets/theme.h"

static void BM_StudioFrame(benchmark::State& state) {
    InitEngine();
    appConfig = DefaultAppConfig();
    appConfig.uiAudioDeviceOpen = appConfig.uiMicInputOpen = appConfig.uiLatencyOpen = true;
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1240, 1010);
    io.DeltaTime = 1.0f / 60;
    std::string reason;
    LoadUiFont(reason);
    ApplyTheme();
    unsigned char* pixels = nullptr;
    int w = 0;
    int h = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(1));
    ShellState shell;
    for (auto _ : state) {
        engine.beatPeak = 0.5f;  // meters move
        ImGui::NewFrame();
        DrawShellFrame(shell);
        ImGui::Render();
        benchmark::DoNotOptimize(FrameFingerprint(ImGui::GetDrawData()));
    }
    ImGui::DestroyContext();
}
BENCHMARK(BM_StudioFrame)->Unit(benchmark::kMicrosecond);
