#include "ui/widgets/widgets.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"

namespace {
ImVec4 WithAlpha(const ImVec4& colour, float alpha) { return ImVec4(colour.x, colour.y, colour.z, alpha); }

const ImVec4 kMeterGreen{0.0f, 0.9f, 0.45f, 1.0f};
const ImVec4 kMeterYellow{1.0f, 0.8f, 0.1f, 1.0f};
const ImVec4 kMeterRed{1.0f, 0.2f, 0.2f, 1.0f};
const ImVec4 kMeterTrough{0.18f, 0.21f, 0.26f, 1.0f};
ImGuiID openCard = 0;  // in the window that holds the card: the height its contents took
}  // namespace

void SectionHeader(const char* title, const char* subtitle, const ImVec4& accent) {
    ImGui::PushStyleColor(ImGuiCol_Text, accent);
    ImGui::TextUnformatted(title);
    ImGui::PopStyleColor();
    if (subtitle != nullptr && subtitle[0] != '\0') ImGui::TextColored(kMuted, "%s", subtitle);
    const ImVec2 cursor = ImGui::GetCursorScreenPos();
    const float right = cursor.x + ImGui::GetContentRegionAvail().x;
    // The draw list itself skips a colour whose alpha ends up zero (a faded, disabled block).
    ImGui::GetWindowDrawList()->AddLine(ImVec2(cursor.x, cursor.y + 2.0f), ImVec2(right, cursor.y + 2.0f),
                                        ImGui::GetColorU32(WithAlpha(accent, 0.32f)), 1.0f);
    ImGui::Dummy(ImVec2(0.0f, 7.0f));
}

void StatusBadge(const char* text, const ImVec4& colour) {
    if (text == nullptr) text = "";
    const ImVec2 textSize = ImGui::CalcTextSize(text);
    const ImVec2 size(std::ceil(textSize.x) + 18.0f, textSize.y + 8.0f);
    const ImVec2 min = ImGui::GetCursorScreenPos();
    const ImVec2 max(min.x + size.x, min.y + size.y);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    drawList->AddRectFilled(min, max, ImGui::GetColorU32(WithAlpha(colour, 0.18f)), 6.0f);
    drawList->AddRect(min, max, ImGui::GetColorU32(WithAlpha(colour, 0.55f)), 6.0f, 0, 1.0f);
    drawList->AddText(ImVec2(min.x + 9.0f, min.y + 4.0f), ImGui::GetColorU32(colour), text);
    ImGui::Dummy(size);
}

MeterReading ReadMeter(float peak) {
    MeterReading reading;
    // Written so that NaN falls to silence rather than through every comparison.
    const float clean = peak > 0.0f ? peak : 0.0f;
    reading.level = std::min(1.0f, std::sqrt(clean) * 1.25f);
    if (reading.level < 0.92f) {
        reading.colour = reading.level < 0.7f ? kMeterGreen : kMeterYellow;
        std::snprintf(reading.text, sizeof reading.text, "%.0f %%", static_cast<double>(reading.level * 100.0f));
    } else {
        reading.colour = kMeterRed;
        std::snprintf(reading.text, sizeof reading.text, "CLIP!");
    }
    return reading;
}

void LevelMeter(const char* label, float peak) {
    const MeterReading reading = ReadMeter(peak);
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    const float flushRight =
        ImGui::GetCursorPosX() + ImGui::GetContentRegionAvail().x - ImGui::CalcTextSize(reading.text).x;
    if (flushRight > ImGui::GetCursorPosX()) ImGui::SetCursorPosX(flushRight);
    ImGui::TextColored(reading.colour, "%s", reading.text);
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, reading.colour);
    ImGui::PushStyleColor(ImGuiCol_FrameBg, kMeterTrough);
    ImGui::ProgressBar(reading.level, ImVec2(-FLT_MIN, 14.0f), "");
    ImGui::PopStyleColor(2);
}

void TopBar(const char* presetName, bool recording) {
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0.105f, 0.125f, 0.155f, 1.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 9.0f);
    ImGui::BeginChild("##SonavelaTopBar", ImVec2(0.0f, 58.0f), true, ImGuiWindowFlags_NoScrollbar);
    ImGui::SetCursorPos(ImVec2(14.0f, 9.0f));
    ImGui::TextColored(ImVec4(0.92f, 0.96f, 1.0f, 1.0f), "Sonavela Studio");
    ImGui::SetCursorPos(ImVec2(14.0f, 31.0f));
    ImGui::TextColored(kMuted, "Live Vocal & Karaoke Workstation");
    ImGui::SetCursorPos(ImVec2(std::max(360.0f, ImGui::GetWindowWidth() - 455.0f), 16.0f));
    StatusBadge("STUDIO / ASIO", kGreen);
    ImGui::SameLine(0.0f, 0.0f);
    StatusBadge(presetName != nullptr && presetName[0] != '\0' ? presetName : "CUSTOM", kCyan);
    if (recording) {
        ImGui::SameLine();
        StatusBadge("REC", kRed);
    }
    ImGui::EndChild();
    ImGui::PopStyleVar();
    ImGui::PopStyleColor();
    ImGui::Dummy(ImVec2(0.0f, 6.0f));
}

void BeginCard(const char* id, float height) {
    openCard = ImGui::GetID(id);
    height = std::max(height, ImGui::GetStateStorage()->GetFloat(openCard, 0.0f));
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0.075f, 0.125f, 0.105f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_Border, WithAlpha(kGreen, 0.55f));
    ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 9.0f);
    ImGui::BeginChild(id, ImVec2(0.0f, height), true, ImGuiWindowFlags_NoScrollbar);
    ImGui::PushTextWrapPos(0.0f);
}

void EndCard() {
    ImGui::PopTextWrapPos();
    const ImGuiStyle& style = ImGui::GetStyle();
    const float used = ImGui::GetCursorPosY() - style.ItemSpacing.y + style.WindowPadding.y;
    ImGui::EndChild();
    ImGui::GetStateStorage()->SetFloat(openCard, used);
    ImGui::PopStyleVar();
    ImGui::PopStyleColor(2);
}

void NotedText(const ImVec4& colour, const char* text) {
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    ImGui::TextWrapped("%s", text);
    ImGui::PopStyleColor();
    NoteItem(text);
}

bool ColouredButton(const char* label, const ImVec2& size, const ImVec4& colour, const ImVec4& hovered) {
    const bool own = colour.w > 0.0f;
    if (own) {
        ImGui::PushStyleColor(ImGuiCol_Button, colour);
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, hovered);
    }
    // A set width gives way to the label's own where the font needs more.
    const float fits = ImGui::CalcTextSize(label, nullptr, true).x + 2 * ImGui::GetStyle().FramePadding.x;
    const bool pressed = ImGui::Button(label, ImVec2(size.x > 0.0f ? std::max(size.x, fits) : size.x, size.y));
    if (own) ImGui::PopStyleColor(2);
    NoteItem(label);
    return pressed;
}

bool ChoiceCombo(const char* id, int& index, const char* const* entries, int count, const char* unchosen) {
    const bool valid = index >= 0 && index < count;
    const bool open = ImGui::BeginCombo(id, valid ? entries[index] : unchosen);
    NoteItem(id);
    if (!open) return false;
    bool picked = false;
    for (int i = 0; i < count; ++i) {
        ImGui::PushID(i);
        if (ImGui::Selectable(entries[i], i == index)) {
            index = i;
            picked = true;
        }
        NoteItem(entries[i]);
        if (i == index) ImGui::SetItemDefaultFocus();
        ImGui::PopID();
    }
    ImGui::EndCombo();
    return picked;
}

bool SameLineIfFits(float width) {
    const float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    if (ImGui::GetItemRectMax().x + ImGui::GetStyle().ItemSpacing.x + width > right) return false;
    ImGui::SameLine();
    return true;
}

bool ConfirmPopup(const char* id, const ConfirmPopupLook& look) {
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_NoMove | ImGuiWindowFlags_AlwaysAutoResize)) return false;
    ImGui::TextColored(look.headingColour, "%s", look.heading);
    ImGui::Separator();
    ImGui::Spacing();
    ImGui::TextUnformatted(look.text);
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    const bool confirmed = ColouredButton(look.confirm, look.confirmSize, look.confirmColour,
                                          ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered));
    ImGui::SameLine();
    if (confirmed || Noted(look.cancel, ImGui::Button(look.cancel, look.cancelSize))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
    return confirmed;
}
