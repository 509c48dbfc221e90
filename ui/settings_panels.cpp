#include "ui/settings_panels.h"

#include <imgui.h>

#include <algorithm>
#include <utility>

#include "app/diagnostics.h"
#include "app/outside_world.h"
#include "app/reset.h"
#include "devices/beat_capture.h"
#include "devices/endpoint_selection.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/widgets.h"
#include "update/update_check.h"

namespace {
constexpr const char* kResetPopup = "Khoi phuc cai dat mac dinh";
constexpr double kReportSaidSeconds = 6.0;
const ImVec4 kOk(0.28f, 1.0f, 0.52f, 1.0f);
const ImVec4 kWarn(1.0f, 0.72f, 0.25f, 1.0f);

bool Button(const char* label, const ImVec2& size) { return ColouredButton(label, size, ImVec4(), ImVec4()); }

void Say(const ImVec4& colour, const char* text) { NotedText(colour, text); }

void DrawRecoveryNotice() {
    if (!configRecovered) return;
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0.32f, 0.22f, 0.05f, 0.85f));
    ImGui::BeginChild("RecoveryNotice", ImVec2(-FLT_MIN, 58), true);
    Say(ImVec4(1.0f, 0.78f, 0.28f, 1.0f), "CAU HINH DA DUOC TU PHUC HOI");
    Say(ImGui::GetStyleColorVec4(ImGuiCol_Text), recoveryNotice.c_str());
    ImGui::EndChild();
    ImGui::PopStyleColor();
}

void DrawResetDialog(ShellState& shell) {
    if (std::exchange(shell.resetDialogPending, false)) ImGui::OpenPopup(kResetPopup);
    if (!ImGui::BeginPopupModal(kResetPopup, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    NoteItem(kResetPopup);
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 24.0f);
    ImGui::TextWrapped(
        "Sonavela se dua cac thanh chinh, thiet bi va bo cuc ve mac dinh. Config cu duoc backup. Preset ca nhan va "
        "file REC khong bi xoa.");
    ImGui::PopTextWrapPos();
    if (ColouredButton("XAC NHAN KHOI PHUC", ImVec2(210, 32), ImVec4(0.16f, 0.55f, 0.75f, 1.0f),
                       ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        ResetToDefaults(shell);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (Button("HUY##ResetDialog", ImVec2(110, 32))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void DrawUpdateSection() {
    ImGui::TextColored(ImVec4(0.55f, 0.82f, 1.0f, 1.0f), "CAP NHAT SONAVELA");
    ImGui::Text("Phien ban hien tai: %s", SONAVELA_VERSION);
    ImGui::SameLine();
    ImGui::TextDisabled("| %s", MakerWebDomain());
    const UpdateResult update = CopyUpdateResult();
    if (update.state == 1) {
        ImGui::BeginDisabled();
        Button("DANG KIEM TRA...", ImVec2(190, 32));
        ImGui::EndDisabled();
        ImGui::SameLine();
        ImGui::TextDisabled("Dang ket noi may chu cap nhat...");
        return;
    }
    if (Button("KIEM TRA CAP NHAT", ImVec2(190, 32))) StartUpdateCheck();
    const ImVec4 orange(1.0f, 0.5f, 0.3f, 1.0f);
    switch (update.state) {
        case 2:
            Say(ImVec4(0.3f, 1.0f, 0.52f, 1.0f), "Sonavela cua ban da la phien ban moi nhat.");
            if (!update.latestVersion.empty())
                ImGui::TextDisabled("Phien ban moi nhat: %s", update.latestVersion.c_str());
            break;
        case 3:
            Say(ImVec4(1.0f, 0.82f, 0.25f, 1.0f), ("CO SONAVELA " + update.latestVersion + " MOI").c_str());
            if (!update.releaseNotes.empty()) Say(ImGui::GetStyleColorVec4(ImGuiCol_Text), update.releaseNotes.c_str());
            if (update.mandatory) Say(ImVec4(1.0f, 0.45f, 0.25f, 1.0f), "Ban cap nhat nay duoc danh dau BAT BUOC.");
            if (update.downloadUrl.empty()) {
                Say(orange, "latest.json chua co download_url.");
            } else if (Button("TAI BAN CAP NHAT", ImVec2(190, 32))) {
                OpenUpdateDownload(update.downloadUrl);
            }
            break;
        case 4:
            Say(orange, "Khong the kiem tra cap nhat.");
            if (!update.errorText.empty()) ImGui::TextDisabled("%s", update.errorText.c_str());
            NoteItem(update.errorText.c_str());
            ImGui::TextDisabled("Kiem tra Internet hoac thu lai sau.");
            break;
        default:
            break;
    }
}

void DrawSettings(ShellState& shell) {
    if (!Noted("SETTINGS & RECOVERY", ImGui::CollapsingHeader("SETTINGS & RECOVERY  |  Cai dat / Khoi phuc"))) return;
    if (Button("CHAY LAI SETUP WIZARD", ImVec2(190, 32))) {
        shell.wizard.setupWizardStep = 0;
        shell.wizard.wizardBraveOpened = false;
        shell.wizard.wizardBeatConfirmed = false;
        shell.setupWizardPending = true;
    }
    SameLineIfFits(
        std::max(190.0f, ImGui::CalcTextSize("KHOI PHUC MAC DINH").x + 2 * ImGui::GetStyle().FramePadding.x));
    if (ColouredButton("KHOI PHUC MAC DINH", ImVec2(190, 32), ImVec4(0.55f, 0.14f, 0.14f, 1.0f),
                       ImVec4(0.68f, 0.2f, 0.2f, 1.0f))) {
        shell.resetDialogPending = true;
    }
    ImGui::TextDisabled("Reset se backup config cu; preset ca nhan va file thu KHONG bi xoa.");
    ImGui::Separator();
    DrawUpdateSection();
}

void StatusRow(bool ok, const char* label, const std::string& status) {
    ImGui::TextColored(ok ? kOk : kWarn, "%s", ok ? "[OK]" : "[!] ");
    ImGui::SameLine();
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    ImGui::TextDisabled("- %s", status.c_str());
    NoteItem((std::string(label) + (ok ? " [OK] " : " [!] ") + status).c_str());
}

void LiveMeter(float level, const char* loud, const char* quiet) {
    ImGui::ProgressBar(level, ImVec2(260, 18), level > 0.01f ? loud : quiet);
    ImGui::SameLine();
    ImGui::TextDisabled("%.1f%%", static_cast<double>(level * 100.0f));
}

void DrawDiagnostics(ShellState& shell) {
    if (!Noted("DIAGNOSTICS & SUPPORT", ImGui::CollapsingHeader("DIAGNOSTICS & SUPPORT  |  Chan doan / Ho tro"))) {
        return;
    }
    const DiagnosticFacts f = GatherDiagnosticFacts();
    const bool asio = studioHost.asioAvailable;
    StatusRow(asio, "ASIO DEVICE", f.deviceText);
    if (HasK10Output() && IsAsio4AllWithK10(f.deviceText)) {
        StatusRow(true, "K10 POLICY", "Compatibility Output only - Studio Mic disabled");
    }
    StatusRow(!(asio && !f.streamRunning && !miniPlayerActive), "AUDIO ENGINE",
              miniPlayerActive  ? "Mini Player / WASAPI"
              : f.streamRunning ? "ASIO dang chay"
              : f.streamOpen    ? "ASIO da mo nhung chua chay"
                                : "ASIO chua mo");
    const bool cable = beatCapture.beatCaptureReady.load();
    StatusRow(cable, "VB-CABLE", cable ? "Capture san sang" : "Chua tim thay / chua khoi tao");
    StatusRow(!endpointLists.outputEndpoints.empty(), "MINI OUTPUT", f.outputText);
    StatusRow(f.dropped == 0, "RECORDER",
              f.dropped == 0 ? "Khong dropped frame" : std::to_string(f.dropped) + " dropped frames");
    StatusRow(!configRecovered, "CONFIG", configRecovered ? "Da tu recovery config" : "Binh thuong");

    ImGui::Separator();
    ImGui::TextUnformatted("LIVE SIGNAL");
    LiveMeter(f.micLevel, "RAW MIC", "RAW MIC - im lang");
    LiveMeter(f.beatLevel, "RAW BEAT", "RAW BEAT - im lang");
    ImGui::TextDisabled("Sample rate: %u Hz | Buffer: %u samples | ASIO inputs: %d | Mic mode: %d", 48000u,
                        studioHost.studioBufferFrames, static_cast<int>(engine.inputChannels.load()),
                        static_cast<int>(engine.micChannelMode.load() + 1));
    ImGui::TextDisabled("Mic source: %s", engine.micBridgeEnabled.load() ? "WASAPI fallback" : "Native ASIO");
    ImGui::TextDisabled("ASIO status events: %llu | Callback blocks: %llu",
                        static_cast<unsigned long long>(engine.callbackStatusEvents.load()),
                        static_cast<unsigned long long>(engine.callbackBlocks.load()));
    ImGui::TextDisabled("Songs: %d | User presets: %d | Mode: %s", static_cast<int>(songLibrary.songs.size()),
                        static_cast<int>(userPresets.size()), miniPlayerActive ? "MINI" : "STUDIO");

    const std::string report = BuildDiagnosticReport(shell);
    if (Button("COPY DIAGNOSTIC INFO", ImVec2(-FLT_MIN, 34))) ImGui::SetClipboardText(report.c_str());
    if (Button("SAVE DIAGNOSTIC REPORT", ImVec2(-FLT_MIN, 34))) {
        std::string path;
        std::string reason;
        shell.reportSaved = SaveDiagnosticReport(report, path, reason);
        shell.reportSaid = shell.reportSaved ? "Da luu: " + path : "Khong luu duoc bao cao: " + reason;
        shell.reportSaidUntil = ImGui::GetTime() + kReportSaidSeconds;
    }
    // Saved where support can ask for it, or why not: a click that seems to do nothing helps nobody.
    if (!shell.reportSaid.empty() && ImGui::GetTime() < shell.reportSaidUntil) {
        Say(shell.reportSaved ? kOk : kWarn, shell.reportSaid.c_str());
    }
    ImGui::TextDisabled("Khi can ho tro: bam COPY DIAGNOSTIC INFO va gui noi dung cho nguoi ho tro Sonavela.");
}
}  // namespace

void DrawSettingsPanels(ShellState& shell) {
    ImGui::PushTextWrapPos(0.0f);
    DrawRecoveryNotice();
    DrawSettings(shell);
    DrawDiagnostics(shell);
    DrawResetDialog(shell);
    ImGui::PopTextWrapPos();
}
