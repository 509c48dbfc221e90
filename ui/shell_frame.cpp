#include "ui/shell_frame.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "app/controls.h"
#include "app/diagnostics.h"
#include "app/host_requests.h"
#include "app/presets.h"
#include "devices/player_mode.h"
#include "engine/engine_params.h"
#include "platform/shortcut_keys.h"
#include "ui/beat_column.h"
#include "ui/library_column.h"
#include "ui/mini_player.h"
#include "ui/notice_popups.h"
#include "ui/recorder_panel.h"
#include "ui/settings_panels.h"
#include "ui/setup_wizard.h"
#include "ui/vocal_column.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"
#include "ui/widgets/widgets.h"

namespace {
constexpr float kStillPeak = 0.001f;  // below it a meter shows nothing that moves
constexpr double kRestoreShownSeconds = 2.5;

// A column's scrolling region; the rest of its contents come with the column's panels.
template <typename Body>
void ColumnChild(const char* id, bool toTop, Body body) {
    ImGui::BeginChild(id, ImVec2(0, 0), false, ImGuiWindowFlags_AlwaysVerticalScrollbar);
    if (toTop) ImGui::SetScrollY(0.0f);
    body();
    ImGui::EndChild();
    NoteItem(id);
}

void DrawStudioBody(ShellState& shell) {
    TopBar(PresetDisplayName(shell).c_str(), engine.recorderActive.load());
    ImGui::TextColored(
        kMuted, "Workspace gọn cao • Cuộn riêng từng cột • Có thể phóng to cửa sổ khi cần • Sonavela nhớ bố cục.");
    ImGui::Spacing();
    DrawStudioModeSelector();
    const float available = ImGui::GetContentRegionAvail().x;
    ImGui::Columns(3, "MainColumns", true);
    ImGui::SetColumnWidth(0, VocalColumnWidth(available));
    ImGui::SetColumnWidth(1, BeatColumnWidth(available));
    ColumnChild("##StudioColVocal", shell.columnsToTop, [&] { DrawVocalColumn(shell); });
    ImGui::NextColumn();
    ColumnChild("##StudioColBeat", shell.columnsToTop, [&] {
        DrawBeatColumnTop(shell);
        DrawSettingsPanels(shell);
        DrawRecorderPanel(shell);
    });
    ImGui::NextColumn();
    ColumnChild("##StudioColLibrary", shell.columnsToTop, [&] { DrawLibraryColumn(shell); });
    ImGui::Columns(1);
    shell.columnsToTop = false;
}

}  // namespace

void BeforeShellFrame(ShellState& shell) {
    HandleHostRequests();
    SampleHealth();
    if (const int32_t restored = HandleRestoreRequest(); restored != 0) {
        shell.restoreResult = restored;
        shell.restoreShownUntil = ImGui::GetTime() + kRestoreShownSeconds;
    }
}

void HandleShortcuts(ShellState& shell) {
    const ImGuiIO& io = ImGui::GetIO();
    const ShortcutKeyCodes& k = ShortcutKeys();
    const bool down[6] = {io.KeysDown[k.t] || io.KeysDown[k.numpadDivide],
                          io.KeysDown[k.h] || io.KeysDown[k.numpadDecimal],
                          io.KeysDown[k.numpadPlus],
                          io.KeysDown[k.numpadMinus],
                          io.KeysDown[k.numpad0],
                          io.KeysDown[k.numpadMultiply]};
    for (int i = 0; i < 6; ++i) {
        const bool pressed = down[i] && !shell.shortcutKeyDown[i];
        shell.shortcutKeyDown[i] = down[i];
        if (!pressed || io.WantTextInput) continue;
        switch (i) {
            case 0:
                engine.fxEnabled = !engine.fxEnabled.load();
                break;
            case 1:
                engine.harmonyEnabled = !engine.harmonyEnabled.load();
                break;
            case 2:
                StepBeatTone(shell, 1.0f);
                break;
            case 3:
                StepBeatTone(shell, -1.0f);
                break;
            case 4:
                ResetBeatTone(shell);
                break;
            default:
                ToggleBeatDim(shell);
                break;
        }
    }
}

void DrawShellFrame(ShellState& shell) {
    HandleShortcuts(shell);
    const ImGuiViewport* view = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(view->Pos);
    ImGui::SetNextWindowSize(view->Size);
    ImGui::Begin("Sonavela Panel", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
    if (miniPlayerActive) {
        DrawMiniPlayerBody(shell);
        shell.columnsToTop = true;
    } else {
        DrawStudioBody(shell);
    }
    DrawSetupWizard(shell);
    DrawNoticePopups();
    ImGui::End();
}

float VocalColumnWidth(float available) { return std::clamp(0.305f * available, 350.0f, 390.0f); }

float BeatColumnWidth(float available) { return std::clamp(0.33f * available, 385.0f, 420.0f); }

WindowBounds PlaceMainWindow(const WindowBounds& work) {
    int width = std::min(work.width - 40, 1240);
    if (width < 980) width = work.width;
    int height = std::min(work.height - 30, 1400);
    if (height < 700) height = work.height;
    return WindowBounds{work.x + (work.width - width) / 2, work.y + (work.height - height) / 2, width, height};
}

double SecondsToNextFrame(bool softwareDrawing) {
    const double animated = softwareDrawing ? 1.0 / 30 : 1.0 / 60;
    for (const std::atomic<float>* meter : {&engine.micPeak, &engine.vocalPeak, &engine.beatPeak, &engine.cablePeak}) {
        if (meter->load(std::memory_order_relaxed) > kStillPeak) return animated;
    }
    // The sung note is shown live while a voice is heard.
    return engine.detectedNote.load(std::memory_order_relaxed) >= 0.0f ? animated : 0.25;
}

uint64_t FrameFingerprint(const ImDrawData* data) {
    uint64_t h = 0;
    const auto mix = [&h](const void* bytes, size_t size) {
        const uint64_t part = std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(bytes), size));
        h = (h ^ part) * 1099511628211ull;
    };
    if (data == nullptr) return h;
    mix(&data->DisplaySize, sizeof data->DisplaySize);
    for (int n = 0; n < data->CmdListsCount; ++n) {
        const ImDrawList* list = data->CmdLists[n];
        mix(list->VtxBuffer.Data, static_cast<size_t>(list->VtxBuffer.size_in_bytes()));
        mix(list->IdxBuffer.Data, static_cast<size_t>(list->IdxBuffer.size_in_bytes()));
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            mix(&cmd.ClipRect, sizeof cmd.ClipRect);
            mix(&cmd.TextureId, sizeof cmd.TextureId);
            mix(&cmd.ElemCount, sizeof cmd.ElemCount);
        }
    }
    return h;
}
