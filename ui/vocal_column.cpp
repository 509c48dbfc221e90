#include "ui/vocal_column.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "app/controls.h"
#include "app/presets.h"
#include "engine/engine_params.h"
#include "engine/vocal_presets.h"
#include "persistence/user_presets.h"
#include "platform/utf8_text.h"
#include "ui/param_slider.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"
#include "ui/widgets/widgets.h"

namespace {
const char* const kKeyNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr float kPopupButton = 170.0f;

struct VocalSlider {
    Param param;
    const char* tooltip;
};
// In the column's order, which is not the table's.
constexpr VocalSlider kVocalSliders[] = {
    {Param::VocalVolume, nullptr},
    {Param::VocalBalance, nullptr},
    {Param::VocalBody, "BODY P3.2: than 180Hz + don mud 370Hz + presence 3kHz + sheen 12.5kHz."},
    {Param::VocalOpto2a, "Optical leveler: 30-50% muot/deu, 50-70% day/noi, 70-100% character ro."},
    {Param::VocalBodyPlus, "Pultec-inspired body: day, am, noi khoi. Goi y Bolero 40-60%."},
    {Param::VocalSmooth, "DE-ESS P3: giam S/X/CH sau cac tang lam day/deu."},
    {Param::VocalWarmth, "WARMTH P3: saturation low-mid; 0% dry, 50% am ro, 70-100% character manh."},
    {Param::VocalAir, nullptr},
    {Param::Reverb, "Vang Lux V1.1: min, sang, am, hep gon; 10-20% thuong da du."},
    {Param::Echo, nullptr},
};

// The active personal preset, or nullptr when none (or a stale index).
const UserPreset* ActiveUserPreset(const ShellState& shell) {
    const int32_t i = shell.userPreset;
    return i >= 0 && static_cast<size_t>(i) < userPresets.size() ? &userPresets[static_cast<size_t>(i)] : nullptr;
}

void DrawPresetCombo(ShellState& shell) {
    const UserPreset* active = ActiveUserPreset(shell);
    const std::string preview = PresetDisplayName(shell);
    ImGui::SetNextItemWidth(-1);
    // Every preset in sight at once, as far as the screen allows, rather than eight and a scrollbar.
    const bool open = ImGui::BeginCombo("##VocalPreset", preview.c_str(), ImGuiComboFlags_HeightLargest);
    NoteItem("##VocalPreset");
    if (!open) return;
    ImGui::TextDisabled("PRESET CÓ SẴN");
    for (int32_t i = 0; i < kBuiltinPresetCount; ++i) {
        const bool selected = active == nullptr && shell.builtinPreset == i;
        if (Noted(BuiltinPresetName(i), ImGui::Selectable(BuiltinPresetName(i), selected))) {
            ApplyBuiltinPreset(i, shell);
        }
        if (selected) ImGui::SetItemDefaultFocus();
    }
    ImGui::Separator();
    ImGui::TextDisabled("PRESET CỦA TÔI");
    if (userPresets.empty()) ImGui::Selectable("(Chưa có preset cá nhân)", false, ImGuiSelectableFlags_Disabled);
    for (size_t i = 0; i < userPresets.size(); ++i) {
        const std::string label = "★ " + userPresets[i].name;
        ImGui::PushID(static_cast<int>(i));
        if (Noted(label.c_str(), ImGui::Selectable(label.c_str(), active == &userPresets[i]))) {
            ApplyUserPreset(static_cast<int32_t>(i), shell);
        }
        ImGui::PopID();
    }
    if (active == nullptr && shell.builtinPreset == kCustomPreset) {
        ImGui::Separator();
        ImGui::Selectable("CUSTOM", true, ImGuiSelectableFlags_Disabled);
        NoteItem("CUSTOM");
    }
    ImGui::EndCombo();
}

void DrawPresetButtons(ShellState& shell) {
    const UserPreset* active = ActiveUserPreset(shell);
    if (Noted("LƯU PRESET CỦA TÔI", ImGui::Button("LƯU PRESET CỦA TÔI", ImVec2(-1, 0)))) {
        FillField(shell.newPresetName, active != nullptr ? active->name : std::string());
        shell.openSavePopup = true;
    }
    if (active != nullptr) {
        if (Noted("ĐỔI TÊN", ImGui::Button("ĐỔI TÊN", ImVec2(kPopupButton, 0)))) {
            FillField(shell.renamePresetName, active->name);
            shell.openRenamePopup = true;
        }
        ImGui::SameLine();
        if (Noted("XÓA PRESET", ImGui::Button("XÓA PRESET", ImVec2(-1, 0)))) shell.openDeletePopup = true;
    }
    ImGui::TextDisabled("Preset cá nhân lưu lâu dài trong sonavela_user_presets.txt.");
    ImGui::TextDisabled("Kéo bất kỳ thanh nào sẽ chuyển về CUSTOM.");
}

bool PopupButton(const char* label) { return Noted(label, ImGui::Button(label, ImVec2(kPopupButton, 0))); }

void DrawPresetPopups(ShellState& shell) {
    if (std::exchange(shell.openSavePopup, false)) ImGui::OpenPopup("LuuPresetCuaToi");
    if (std::exchange(shell.openRenamePopup, false)) ImGui::OpenPopup("DoiTenPreset");
    if (std::exchange(shell.openDeletePopup, false)) ImGui::OpenPopup("XoaPresetCuaToi");
    const ImGuiWindowFlags flags = ImGuiWindowFlags_AlwaysAutoResize;
    if (ImGui::BeginPopupModal("LuuPresetCuaToi", nullptr, flags)) {
        ImGui::Text("Tên preset:");
        ImGui::SetNextItemWidth(360);
        ImGui::InputTextWithHint("##UserPresetName", "Ví dụ: Bolero Hòa", shell.newPresetName,
                                 sizeof shell.newPresetName);
        NoteItem("##UserPresetName");
        ImGui::TextDisabled("Nếu trùng tên, Sonavela sẽ cập nhật preset đó bằng thiết lập hiện tại.");
        // A name that cleans to nothing is refused, and the popup stays for another.
        if (PopupButton("LƯU") && SaveCurrentAsUserPreset(shell.newPresetName, shell) >= 0) {
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (PopupButton("HỦY")) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (ImGui::BeginPopupModal("DoiTenPreset", nullptr, flags)) {
        ImGui::Text("Tên mới:");
        ImGui::SetNextItemWidth(360);
        ImGui::InputText("##RenameUserPreset", shell.renamePresetName, sizeof shell.renamePresetName);
        NoteItem("##RenameUserPreset");
        if (PopupButton("ĐỔI TÊN") && RenameActiveUserPreset(shell.renamePresetName, shell)) {
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (PopupButton("HỦY##Rename")) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (ImGui::BeginPopupModal("XoaPresetCuaToi", nullptr, flags)) {
        const UserPreset* active = ActiveUserPreset(shell);
        ImGui::Text("Xóa preset '%s'?", active != nullptr ? active->name.c_str() : "");
        ImGui::TextDisabled("Các thông số âm thanh hiện tại vẫn giữ nguyên, chỉ xóa preset đã lưu.");
        if (PopupButton("XÓA")) {
            DeleteActiveUserPreset(shell);
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (PopupButton("HỦY##Delete")) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
}

void DrawAutoTuneCard(ShellState& shell) {
    const bool on = engine.tuneEnabled.load();
    BeginCard("##HeroAutoTune", 178.0f);
    ImGui::TextColored(kGreen, "AUTO-TUNE");
    ImGui::SameLine();
    StatusBadge(on ? "DANG BAT" : "DANG TAT", on ? kGreen : kMuted);
    ImGui::TextColored(kMuted, "Nan cao do tu dong - chon phong cach va hat ngay");
    ImGui::Separator();
    const bool flip = on ? ColouredButton("AUTO-TUNE: DANG BAT", ImVec2(-1, 32), ImVec4(0.12f, 0.48f, 0.30f, 1.0f),
                                          ImVec4(0.17f, 0.60f, 0.38f, 1.0f))
                         : ColouredButton("AUTO-TUNE: DANG TAT", ImVec2(-1, 32), ImVec4(0.22f, 0.25f, 0.30f, 1.0f),
                                          ImVec4(0.28f, 0.32f, 0.38f, 1.0f));
    if (flip) FlipSwitch(shell, Param::TuneEnabled);
    const int32_t mode = engine.tuneMode.load();
    for (int32_t style = 1; style <= 3; ++style) {
        // The second style beside the first where the card is wide enough for it.
        if (style == 2) {
            const float width = ImGui::GetFrameHeight() + ImGui::GetStyle().ItemInnerSpacing.x +
                                ImGui::CalcTextSize(TuneStyleLabel(2)).x;
            SameLineIfFits(width);
        }
        if (Noted(TuneStyleLabel(style), ImGui::RadioButton(TuneStyleLabel(style), mode == style))) {
            ChooseTuneStyle(style, shell);
        }
    }
    EndCard();
}

void DrawSliders(ShellState& shell) {
    ImGui::PushItemWidth(SliderWidth({Param::VocalVolume, Param::VocalBodyPlus, Param::VocalOpto2a, Param::Reverb}));
    LevelMeter("Mic Peak", engine.vocalPeak.load(std::memory_order_relaxed));
    ImGui::Spacing();
    for (const VocalSlider& s : kVocalSliders) {
        ParamSlider(shell, s.param, s.tooltip);
        if (s.param == Param::VocalVolume) ImGui::Spacing();
    }
    const bool fx = engine.fxEnabled.load();
    const bool flip = fx ? ColouredButton("VANG / FX: ĐANG BẬT", ImVec2(-1, 36), ImVec4(0.12f, 0.45f, 0.30f, 1.0f),
                                          ImVec4(0.18f, 0.55f, 0.38f, 1.0f))
                         : ColouredButton("VANG / FX: TẠM TẮT", ImVec2(-1, 36), ImVec4(0.75f, 0.35f, 0.10f, 1.0f),
                                          ImVec4(0.85f, 0.45f, 0.15f, 1.0f));
    ImGui::PopItemWidth();
    if (flip) FlipSwitch(shell, Param::FxEnabled);
    ImGui::TextDisabled("Phím nhanh: T hoặc Numpad / để bật/tắt FX khi đang hát.");
}

void DrawHarmony(ShellState& shell) {
    ImGui::Spacing();
    SectionHeader("HARMONY 3D", "Bè tự động theo Key/Scale", kViolet);
    const bool on = engine.harmonyEnabled.load();
    const bool flip = on ? ColouredButton("HARMONY 3D: ĐANG BẬT", ImVec2(-1, 38), ImVec4(0.65f, 0.15f, 0.85f, 1.0f),
                                          ImVec4(0.75f, 0.25f, 0.95f, 1.0f))
                         : ColouredButton("HARMONY 3D: TẮT", ImVec2(-1, 38), ImVec4(), ImVec4());
    if (flip) FlipSwitch(shell, Param::HarmonyEnabled);
    ImGui::PushItemWidth(SliderWidth({Param::VocalBodyPlus}));  // lined up with the sliders above
    ParamSlider(shell, Param::HarmonyVolume);
    ImGui::PopItemWidth();
    const int32_t root = std::clamp(engine.harmonyKeyRoot.load(), 0, 11);
    ImGui::Text("AUTO HARMONY: %s %s", kKeyNames[root], engine.harmonyKeyMinor ? "Minor" : "Major");
    ImGui::SameLine();
    ImGui::TextDisabled("(%.0f%%)", static_cast<double>(engine.harmonyKeyConfidence.load() * 100.0f));
    // What the correction hears, so the singer sees it follow the voice.
    const float note = engine.detectedNote.load(std::memory_order_relaxed);
    ImGui::SameLine();
    ImGui::TextColored(note >= 0.0f ? kGreen : kMuted, "• Nốt: %s", SungNoteText(note).c_str());
    ImGui::TextDisabled("Tự học Key/Scale từ giai điệu đang hát • Phím H hoặc Numpad . để bật/tắt bè.");
}
}  // namespace

std::string SungNoteText(float note) {
    if (!(note >= 0.0f)) return "--";
    const long nearest = std::lround(note);
    const long cents = std::lround((note - static_cast<float>(nearest)) * 100.0f);
    char text[24];
    std::snprintf(text, sizeof text, "%s%ld %+ldc", kKeyNames[nearest % 12], nearest / 12 - 1, cents);
    return text;
}

void DrawVocalColumn(ShellState& shell) {
    ImGui::PushTextWrapPos(0.0f);
    SectionHeader("VOCAL", "Preset, tone, dynamics & harmony", kCyan);
    const bool beatOnly = engine.studioMode.load() == 1;
    if (beatOnly) {
        ImGui::TextColored(kAmber, "BEAT ONLY - MIC / VOCAL DSP DANG TAT");
        ImGui::TextDisabled("Chuyen lai VOCAL + BEAT de su dung micro, Auto-Tune va Vocal FX.");
    }
    ImGui::BeginDisabled(beatOnly);
    SectionHeader("VOCAL PRESET", "Chọn một preset để hát ngay", ImVec4(0.52f, 0.82f, 1.0f, 1.0f));
    DrawPresetCombo(shell);
    DrawPresetButtons(shell);
    DrawPresetPopups(shell);
    DrawAutoTuneCard(shell);
    DrawSliders(shell);
    DrawHarmony(shell);
    ImGui::EndDisabled();
    ImGui::PopTextWrapPos();
}
