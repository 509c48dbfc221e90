#include "ui/mini_player.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/device_actions.h"
#include "app/library.h"
#include "app/outside_world.h"
#include "devices/endpoint_selection.h"
#include "devices/player_mode.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/app_window.h"
#include "ui/library_column.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/widgets.h"

namespace {
const char* const kProfiles[] = {"DONG BO CHU/NHAC - 3.5mm / HDMI", "BLUETOOTH ON DINH"};
constexpr const char* kReturnPopup = "XacNhanVeStudio";

void DrawOutputChoice() {
    ImGui::TextColored(ImVec4(0.35f, 0.85f, 1.0f, 1.0f), "MINI OUTPUT (WASAPI)");
    // The list as it stands when the frame begins: a pick or "Refresh" rebuilds it after the combo is drawn.
    const std::vector<AudioEndpoint>& outputs = endpointLists.outputEndpoints;
    std::vector<const char*> names;
    for (const AudioEndpoint& e : outputs) names.push_back(e.name.c_str());
    int index = endpointLists.selectedOutputIndex;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 90);
    const bool picked =
        ChoiceCombo("##MiniOutputCombo", index, names.data(), static_cast<int>(names.size()), "Windows Default");
    ImGui::SameLine();
    const bool refresh = Noted("Refresh", ImGui::Button("Refresh"));
    const bool k10 = FindK10OutputIndex() >= 0;
    bool chooseK10 = false;
    if (k10) {
        ImGui::Spacing();
        ImGui::TextColored(ImVec4(0.35f, 0.90f, 1.0f, 1.0f), "K10 COMPATIBILITY OUTPUT: DA PHAT HIEN");
        SameLineIfFits(150);
        chooseK10 = Noted("CHON K10 OUTPUT", ImGui::Button("CHON K10 OUTPUT", ImVec2(150, 26)));
        ImGui::TextDisabled("K10: output/beat OK. Mic K10 khong vao Vocal Studio.");
    }
    ImGui::TextDisabled(
        "Ho tro 3.5mm / Bluetooth / HDMI / K10 output. Bluetooth phu hop phat beat, khong dung monitor "
        "vocal live.");
    int profile = std::clamp(appConfig.miniOutputMode, 0, 1);
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - ImGui::CalcTextSize("CHE DO OUTPUT").x -
                            ImGui::GetStyle().ItemInnerSpacing.x);
    const bool profileChosen =
        ChoiceCombo("CHE DO OUTPUT", profile, kProfiles, 2) && profile != appConfig.miniOutputMode;
    ImGui::TextDisabled(profile == 0
                            ? "3.5mm/HDMI: buffer thap hon, SoundTouch van HQ de giu bass chac."
                            : "Bluetooth: buffer on dinh, SoundTouch HQ. Co the van tre nhe do codec/thiet bi.");
    ImGui::Separator();
    if (picked) ChooseMiniOutput(index);
    if (refresh) RefreshOutputs();
    if (chooseK10) ChooseK10Output();
    if (profileChosen) ChooseMiniProfile(profile);
}

void DrawReturnPopup(ShellState& shell) {
    const bool confirmed = ConfirmPopup(
        kReturnPopup, {.heading = "[!] CHUYỂN VỀ SONAVELA STUDIO",
                       .headingColour = ImVec4(1.0f, 0.3f, 0.3f, 1.0f),
                       .text = "Bạn đang dùng Mini Output cho dàn show/gia đình.\nChuyển về Studio sẽ ngắt WASAPI và "
                               "kết nối Soundcard ASIO.\nBạn có muốn tiếp tục?",
                       .confirm = " XÁC NHẬN VỀ STUDIO ",
                       .confirmSize = ImVec2(170, 34),
                       .confirmColour = ImVec4(0.70f, 0.25f, 0.25f, 1.0f),
                       .cancel = " Ở LẠI MINI PLAYER ",
                       .cancelSize = ImVec2(160, 34)});
    if (confirmed) ReturnToStudioWindow(shell);
}

void DrawModeButtons(ShellState& shell) {
    if (ColouredButton("[<<] MO RONG STUDIO", ImVec2(ImGui::GetContentRegionAvail().x - 105, 32),
                       ImVec4(0.20f, 0.50f, 0.35f, 1.0f), ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        ImGui::OpenPopup(kReturnPopup);
    }
    ImGui::SameLine();
    const bool pinned = shell.miniPinned;
    if (ColouredButton(pinned ? "[x] Ghim" : "[ ] Tha", ImVec2(97, 32),
                       pinned ? ImVec4(0.18f, 0.45f, 0.70f, 1.0f) : ImVec4(0.30f, 0.30f, 0.35f, 1.0f),
                       ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        shell.miniPinned = !pinned;
        KeepAppWindowOnTop(shell.miniPinned);
    }
    DrawReturnPopup(shell);
}

void DrawBeatControls(ShellState& shell) {
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::TextColored(ImVec4(1.0f, 0.8f, 0.2f, 1.0f), "AM LUONG BEAT:");
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 120);
    float volume = shell.sliders[Param::BeatVolume];
    if (Noted("##MiniBeatVol", ImGui::SliderFloat("##MiniBeatVol", &volume, 0.0f, 100.0f, "%.0f %%"))) {
        MoveControl(shell, Param::BeatVolume, volume);
        shell.beatDimmed = false;  // the level set by hand is the one a dim starts from
    }
    ImGui::SameLine();
    const bool dimmed = shell.beatDimmed;
    if (ColouredButton(dimmed ? "[>] BUNG" : "[v] DIM (MC)", ImVec2(112, 0),
                       dimmed ? ImVec4(0.85f, 0.20f, 0.20f, 1.0f) : ImVec4(0.22f, 0.32f, 0.45f, 1.0f),
                       ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        ToggleBeatDim(shell);
    }
    LevelMeter("Beat Peak", engine.beatPeak.load(std::memory_order_relaxed));
    ImGui::Spacing();
    ImGui::Separator();
    const float tone = shell.toneSemitones;
    ImGui::TextColored(ImVec4(1.0f, 0.82f, 0.2f, 1.0f), "Tone Beat: %+.1f Semitone", static_cast<double>(tone));
    const ImVec2 size((ImGui::GetContentRegionAvail().x - 16) / 3, 34);
    ImGui::BeginDisabled(tone <= -3.0f);
    if (Noted("[-] GIAM 1", ImGui::Button("[-] GIAM 1", size))) StepBeatTone(shell, -1.0f);
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (Noted("[ 0 ] GOC", ImGui::Button("[ 0 ] GOC", size))) ResetBeatTone(shell);
    ImGui::SameLine();
    ImGui::BeginDisabled(tone >= 3.0f);
    if (Noted("[+] TANG 1", ImGui::Button("[+] TANG 1", size))) StepBeatTone(shell, 1.0f);
    ImGui::EndDisabled();
}

void DrawSongs(ShellState& shell) {
    ImGui::TextColored(ImVec4(1.0f, 0.4f, 0.8f, 1.0f), "TIM KARAOKE & DANH SACH BAI HAT:");
    ImGui::SetNextItemWidth(-FLT_MIN);
    if (ImGui::InputTextWithHint("##MiniQuickSearch", "Tim KARAOKE tren YouTube roi Enter...", shell.quickSearch,
                                 sizeof shell.quickSearch, ImGuiInputTextFlags_EnterReturnsTrue) &&
        shell.quickSearch[0] != '\0') {
        OpenInBrave(BuildSearchUrl(shell.quickSearch));
        shell.quickSearch[0] = '\0';
    }
    NoteItem("##MiniQuickSearch");
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##MiniLibrarySearch", "Tim trong thu vien da luu...", shell.miniFilter,
                             sizeof shell.miniFilter);
    ImGui::Checkbox("Chi Favorite##Mini", &shell.miniFavouritesOnly);
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##MiniSongName", "Ten bai luu danh sach...", shell.songName, sizeof shell.songName);
    NoteItem("##MiniSongName");
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##MiniSongUrl", "Link YouTube (Ctrl+V neu co)...", shell.songUrl, sizeof shell.songUrl);
    if (Noted("[+] LUU BAI + TONE NAY", ImGui::Button("[+] LUU BAI + TONE NAY", ImVec2(-FLT_MIN, 28)))) {
        AddTypedSong(shell);
    }
    DrawSongList(shell, SongListLook{.region = "MiniSongListRegion",
                                     .filter = shell.miniFilter,
                                     .favouritesOnly = shell.miniFavouritesOnly,
                                     .rowFormat = "%s (%+.1f st)",
                                     .toneWidth = 44,
                                     .editWidth = 40,
                                     .removeWidth = 24,
                                     .selectableSlack = 0,
                                     .idBase = 1000,
                                     .tooltips = false,
                                     .minHeight = 100,
                                     .bottomGap = 6});
    DrawSongEditor(shell);
}
}  // namespace

void DrawMiniPlayerBody(ShellState& shell) {
    ImGui::PushTextWrapPos(0.0f);
    DrawOutputChoice();
    DrawModeButtons(shell);
    DrawBeatControls(shell);
    DrawSongs(shell);
    ImGui::PopTextWrapPos();
}

void EnterMiniPlayerWindow(ShellState& shell) {
    shell.savedPlacement = GetAppWindowPlacement();
    KeepAppWindowOnTop(true);  // whatever the pin said last time
    ResizeAppWindow(460, 840);
    SwitchToMiniPlayer();
    shell.columnsToTop = true;
}

void ReturnToStudioWindow(ShellState& shell) {
    SwitchToStudio();
    KeepAppWindowOnTop(false);
    SetAppWindowPlacement(shell.savedPlacement);
    shell.columnsToTop = true;
}
