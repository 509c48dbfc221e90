#include "ui/recorder_panel.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <string>

#include "app/outside_world.h"
#include "app/take_notices.h"
#include "app/takes.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/folder_picker.h"
#include "platform/utf8_text.h"
#include "recording/record_folder.h"
#include "recording/record_name.h"
#include "recording/recorder.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/widgets.h"

namespace {
constexpr double kSavedNoticeSeconds = 5.0;

std::string FolderOrDefault(const char* folder) { return folder[0] != '\0' ? folder : GetDefaultRecordingsFolder(); }

void LoadFields(ShellState& shell) {
    FillField(shell.recordName, appConfig.recordName);
    FillField(shell.recordFolder, appConfig.recordFolder);
    shell.recordChoice = std::clamp(appConfig.recordMode, 0, 1);
    shell.recorderFieldsLoaded = true;
}

void DrawCapturing(ShellState& shell) {
    const uint64_t s = (recorder.dataBytes.load() / 4) / static_cast<uint64_t>(EngineParams::sampleRate);
    char label[96];
    std::snprintf(label, sizeof label, "[ DANG THU %02d:%02d:%02d ] - BAM DE DUNG & LUU###StopRecBtn",
                  static_cast<int>(s / 3600), static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60));
    if (ColouredButton(label, ImVec2(-FLT_MIN, 36), ImVec4(0.9f, 0.1f, 0.1f, 1.0f), ImVec4(1.0f, 0.2f, 0.2f, 1.0f))) {
        // A take cut short is never called saved: what was kept, and why, instead.
        if (StopTake()) {
            shell.savedNotice = "DA LUU THANH CONG: " + recorder.lastSavedPath;
            shell.savedNoticeUntil = ImGui::GetTime() + kSavedNoticeSeconds;
            shell.recordStatus.clear();
        } else {
            shell.recordStatus =
                "Ban thu chua tron ven, da giu lai: " + recorder.lastSavedPath + "\n" + RecordingFailureText();
        }
        return;
    }
    ImGui::TextWrapped("File: %s", recorder.filePath.c_str());
    if (const uint64_t dropped = engine.recordFramesDropped.load(); dropped > 0) {
        ImGui::TextColored(ImVec4(1.0f, 0.55f, 0.2f, 1.0f), "Canh bao: recorder bi mat %llu frame",
                           static_cast<unsigned long long>(dropped));
    }
}

void PollFolderChooser(ShellState& shell) {
    std::string chosen;
    if (PollFolderPick(chosen) != FolderPick::Chosen) return;
    FillField(shell.recordFolder, chosen);
    appConfig.recordFolder = shell.recordFolder;
    SaveConfig();
}

void DrawIdle(ShellState& shell) {
    ImGui::Text("Che do thu:");
    const bool beatOnly = engine.studioMode.load() == 1;
    if (beatOnly && shell.recordChoice == 1) {  // no voice to record in BEAT ONLY
        shell.recordChoice = 0;
        engine.recordMode = 0;
        appConfig.recordMode = 0;
        SaveConfig();
    }
    int choice = shell.recordChoice;
    bool chose = Noted("REC MIX", ImGui::RadioButton("REC MIX", &choice, 0));
    ImGui::SameLine();
    ImGui::BeginDisabled(beatOnly);
    chose = Noted("REC VOCAL", ImGui::RadioButton("REC VOCAL", &choice, 1)) || chose;
    ImGui::EndDisabled();
    if (chose) {
        shell.recordChoice = choice;
        appConfig.recordMode = choice;
        SaveConfig();
    }
    ImGui::TextDisabled(choice == 1 ? "VOCAL: Vocal + Be + FX, khong co Beat" : "MIX: Beat + Vocal + Be + FX + Master");
    ImGui::Text("Tên bản thu:");
    ImGui::SetNextItemWidth(-FLT_MIN);
    if (ImGui::InputTextWithHint("##RecBaseName", "Ví dụ: Thành phố buồn", shell.recordName, sizeof shell.recordName)) {
        appConfig.recordName = SanitizeRecordName(shell.recordName);
        SaveConfig();
    }
    NoteItem("##RecBaseName");
    ImGui::Text("Thư mục lưu:");
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 95);
    if (ImGui::InputText("##RecFolder", shell.recordFolder, sizeof shell.recordFolder)) {
        appConfig.recordFolder = shell.recordFolder;
        SaveConfig();
    }
    NoteItem("##RecFolder");
    ImGui::SameLine();
    if (Noted("Chọn...", ImGui::Button("Chọn...", ImVec2(82, 0)))) {
        std::string reason;
        if (!StartRecordFolderPick(shell.recordFolder, reason))
            shell.recordStatus = "Khong mo duoc hop chon thu muc: " + reason;
    }
    PollFolderChooser(shell);
    ImGui::TextDisabled("WAV Studio: 48 kHz / 16-bit / Stereo (on dinh)");
    if (ColouredButton("●  BẮT ĐẦU THU", ImVec2(-FLT_MIN, 36), ImVec4(0.6f, 0.1f, 0.1f, 1.0f),
                       ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        const int32_t mode = shell.recordChoice == 1 ? 1 : 0;
        engine.recordMode = mode;
        appConfig.recordMode = shell.recordChoice;
        appConfig.recordName = SanitizeRecordName(shell.recordName);
        appConfig.recordFolder = FolderOrDefault(shell.recordFolder);
        SaveConfig();
        if (StartTake(mode, appConfig.recordFolder, appConfig.recordName)) {
            shell.savedNotice.clear();
            shell.recordStatus = "Dang thu: " + recorder.filePath;
        } else {
            shell.recordStatus = "Khong the tao file. Kiem tra thu muc luu / quyen ghi.\n" + RecordingFailureText();
        }
    }
}
}  // namespace

void DrawRecorderPanel(ShellState& shell) {
    if (!shell.recorderFieldsLoaded) LoadFields(shell);
    ImGui::Spacing();
    ImGui::Spacing();
    SectionHeader("RECORDER", "Thu Mix hoặc Vocal trực tiếp xuống ổ đĩa", ImVec4(0.92f, 0.28f, 0.30f, 1.0f));
    if (engine.recorderActive.load()) {
        DrawCapturing(shell);
    } else {
        DrawIdle(shell);
    }
    if (!shell.recordStatus.empty()) {
        ImGui::TextWrapped("%s", shell.recordStatus.c_str());
        NoteItem("##RecordStatus");
    }
    if (!shell.savedNotice.empty()) {
        if (ImGui::GetTime() < shell.savedNoticeUntil) {
            ImGui::Spacing();
            ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.25f, 0.95f, 0.45f, 1.0f));
            ImGui::TextWrapped("%s", shell.savedNotice.c_str());
            ImGui::PopStyleColor();
            NoteItem("##SavedNotice");
        } else {
            shell.savedNotice.clear();
        }
    }
    if (Noted("MỞ THƯ MỤC BẢN THU", ImGui::Button("MỞ THƯ MỤC BẢN THU", ImVec2(-FLT_MIN, 26)))) {
        OpenRecordingsFolder(FolderOrDefault(shell.recordFolder));
    }
}
