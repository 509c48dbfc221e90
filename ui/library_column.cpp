#include "ui/library_column.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <utility>

#include "app/controls.h"
#include "app/library.h"
#include "persistence/app_config.h"
#include "persistence/song_library.h"
#include "platform/utf8_text.h"
#include "ui/mini_player.h"
#include "ui/param_slider.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"
#include "ui/widgets/widgets.h"

namespace {
// What a row's button asked for. The list is changed only after it has been
// drawn, never while it is being walked.
struct SongAction {
    enum Kind { None, Play, Favourite, Tone, Edit, Remove } kind = None;
    size_t index = 0;
};

// At least the given width, and never narrower than the label: a wider font must not cut "TONE" short.
float RowButtonWidth(const char* label, float width) {
    return std::max(width, ImGui::CalcTextSize(label).x + 2 * ImGui::GetStyle().FramePadding.x);
}

bool RowButton(const char* label, float width, SongAction& action, SongAction::Kind kind, size_t index) {
    if (!Noted(label, ImGui::Button(label, ImVec2(RowButtonWidth(label, width), 0)))) return false;
    action = {kind, index};
    return true;
}

SongAction DrawSongRows(const SongListLook& look) {
    SongAction action;
    const ImGuiStyle& style = ImGui::GetStyle();
    const auto& songs = songLibrary.songs;
    for (size_t i = 0; i < songs.size(); ++i) {
        const SongEntry& song = songs[i];
        if ((look.favouritesOnly && !song.favorite) || !SongMatches(song, look.filter)) continue;
        ImGui::PushID(look.idBase + static_cast<int>(i));
        RowButton(song.favorite ? "[*]" : "[ ]", 28, action, SongAction::Favourite, i);
        ImGui::SameLine();
        char row[160];
        std::snprintf(row, sizeof row, look.rowFormat, song.name.c_str(), static_cast<double>(song.tone));
        const float buttons = RowButtonWidth("TONE", look.toneWidth) + RowButtonWidth("SUA", look.editWidth) +
                              RowButtonWidth("X", look.removeWidth);
        const float width =
            ImGui::GetContentRegionAvail().x - (3 * style.ItemSpacing.x + buttons + look.selectableSlack);
        if (Noted(song.name.c_str(), ImGui::Selectable(row, false, 0, ImVec2(std::max(width, 40.0f), 0)))) {
            action = {SongAction::Play, i};
        }
        if (look.tooltips && ImGui::IsItemHovered()) {
            ImGui::SetTooltip("%s\nTone da luu: %+.1f semitone\nClick de mo karaoke", song.name.c_str(),
                              static_cast<double>(song.tone));
        }
        ImGui::SameLine();
        RowButton("TONE", look.toneWidth, action, SongAction::Tone, i);
        if (look.tooltips && ImGui::IsItemHovered()) ImGui::SetTooltip("Cap nhat tone hien tai cho bai nay");
        ImGui::SameLine();
        RowButton("SUA", look.editWidth, action, SongAction::Edit, i);
        ImGui::SameLine();
        ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.38f, 0.16f, 0.16f, 0.85f));
        RowButton("X", look.removeWidth, action, SongAction::Remove, i);
        ImGui::PopStyleColor();
        ImGui::PopID();
    }
    return action;
}

void ApplySongAction(const SongAction& action, ShellState& shell) {
    switch (action.kind) {
        case SongAction::None:
            break;
        case SongAction::Play:
            PlaySong(action.index, shell);
            break;
        case SongAction::Favourite:
            ToggleSongFavorite(action.index);
            break;
        case SongAction::Tone:
            StoreSongTone(action.index, shell);
            break;
        case SongAction::Edit:
            OpenSongEditor(shell, static_cast<int32_t>(action.index));
            break;
        case SongAction::Remove:
            DeleteSong(action.index);
            break;
    }
}

void DrawMiniPlayerSwitch(ShellState& shell) {
    const char* popup = "XacNhanVaoMiniPlayer";
    ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.18f, 0.45f, 0.72f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.24f, 0.56f, 0.88f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(0.12f, 0.36f, 0.60f, 1.0f));
    if (Noted("CHUYỂN SANG MINI PLAYER", ImGui::Button("CHUYỂN SANG MINI PLAYER", ImVec2(-FLT_MIN, 32)))) {
        ImGui::OpenPopup(popup);
    }
    ImGui::PopStyleColor(3);
    const bool confirmed = ConfirmPopup(
        popup, {.heading = "[!] CẢNH BÁO CHUYỂN CHẾ ĐỘ",
                .headingColour = ImVec4(1.0f, 0.8f, 0.2f, 1.0f),
                .text = "Bạn có chắc chắn muốn chuyển sang MINI PLAYER không?\n- Soundcard và Auto-Tune sẽ tạm tắt để "
                        "giảm tải CPU.\n- Âm thanh sẽ chuyển sang Mini Output đã chọn (3.5mm / Bluetooth / HDMI).",
                .confirm = " ĐỒNG Ý CHUYỂN ",
                .confirmSize = ImVec2(150, 34),
                .confirmColour = ImVec4(0.2f, 0.5f, 0.35f, 1.0f),
                .cancel = " HUỶ BỎ ",
                .cancelSize = ImVec2(100, 34)});
    if (confirmed) EnterMiniPlayerWindow(shell);
}

void DrawSongLibrary(ShellState& shell) {
    if (!PanelHeader("SONG LIBRARY  |  Bài hát, YouTube & tone đã lưu", &AppConfig::uiSongLibraryOpen)) return;
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##SongName", "Ten bai hat (vi du: Mot coi di ve)", shell.songName, sizeof shell.songName);
    NoteItem("##SongName");
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##SongUrl", "Link YouTube (Ctrl+V vao day)", shell.songUrl, sizeof shell.songUrl);
    NoteItem("##SongUrl");
    if (Noted("LƯU BÀI HÁT + TONE HIỆN TẠI", ImGui::Button("LƯU BÀI HÁT + TONE HIỆN TẠI", ImVec2(-FLT_MIN, 32)))) {
        AddTypedSong(shell);
    }
    ImGui::Spacing();
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::InputTextWithHint("##StudioLibrarySearch", "Tim trong thu vien bai hat...", shell.libraryFilter,
                             sizeof shell.libraryFilter);
    NoteItem("##StudioLibrarySearch");
    ImGui::Checkbox("Chi hien bai yeu thich", &shell.libraryFavouritesOnly);
    NoteItem("Chi hien bai yeu thich");
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextDisabled("[*] Favorite  |  TONE: cap nhat tone  |  SUA: ten/link");
    ImGui::PopTextWrapPos();
    ImGui::Spacing();
    DrawSongList(shell, SongListLook{.region = "SongListRegion",
                                     .filter = shell.libraryFilter,
                                     .favouritesOnly = shell.libraryFavouritesOnly,
                                     .rowFormat = "%s  [%+.1f]",
                                     .toneWidth = 38,
                                     .editWidth = 34,
                                     .removeWidth = 22,
                                     .selectableSlack = 0,
                                     .idBase = 0,
                                     .tooltips = true,
                                     .minHeight = 150,
                                     .bottomGap = 8});
}
}  // namespace

void DrawSongList(ShellState& shell, const SongListLook& look) {
    const float height = std::max(look.minHeight, ImGui::GetContentRegionAvail().y - look.bottomGap);
    ImGui::BeginChild(look.region, ImVec2(0, height), true);
    const SongAction action = DrawSongRows(look);
    ImGui::EndChild();
    ApplySongAction(action, shell);
}

void DrawLibraryColumn(ShellState& shell) {
    SectionHeader("LIBRARY / MODE", "Bài hát & chế độ phát karaoke", ImVec4(0.95f, 0.48f, 0.78f, 1.0f));
    DrawMiniPlayerSwitch(shell);
    ImGui::Spacing();
    DrawSongLibrary(shell);
    DrawSongEditor(shell);
}

void OpenSongEditor(ShellState& shell, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= songLibrary.songs.size()) return;
    const SongEntry& song = songLibrary.songs[static_cast<size_t>(index)];
    shell.editedSong = index;
    FillField(shell.editSongName, song.name);
    FillField(shell.editSongUrl, song.url);
    shell.openSongEditor = true;
}

void DrawSongEditor(ShellState& shell) {
    const char* id = "SUA BAI HAT##SongLibraryV21";
    if (std::exchange(shell.openSongEditor, false)) ImGui::OpenPopup(id);
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::TextUnformatted("CHINH SUA BAI HAT");
    ImGui::SetNextItemWidth(360);
    ImGui::InputTextWithHint("##EditSongName", "Ten bai hat", shell.editSongName, sizeof shell.editSongName);
    NoteItem("##EditSongName");
    ImGui::SetNextItemWidth(360);
    ImGui::InputTextWithHint("##EditSongUrl", "Link YouTube", shell.editSongUrl, sizeof shell.editSongUrl);
    const bool valid = shell.editedSong >= 0 && static_cast<size_t>(shell.editedSong) < songLibrary.songs.size();
    ImGui::BeginDisabled(!valid);
    if (Noted("LUU THAY DOI", ImGui::Button("LUU THAY DOI", ImVec2(150, 32))) && shell.editSongName[0] != '\0' &&
        EditSong(static_cast<size_t>(shell.editedSong), shell.editSongName, shell.editSongUrl)) {
        shell.editedSong = -1;
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (Noted("HUY##SongEditor", ImGui::Button("HUY", ImVec2(90, 32)))) {
        shell.editedSong = -1;
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
}
