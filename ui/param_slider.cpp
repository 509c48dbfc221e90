#include "ui/param_slider.h"

#include <imgui.h>

#include <algorithm>

#include "app/controls.h"
#include "ui/widgets/item_probe.h"

namespace {
// The values the engine holds the truth of follow it; the others their mirrors.
float ValueNow(const ShellState& shell, Param p) {
    const ParamSpec& s = Spec(p);
    return s.engineValue != nullptr ? s.engineValue() : shell.sliders[p];
}
}  // namespace

bool ParamSlider(ShellState& shell, Param p, const char* tooltip) {
    const ParamSpec& s = Spec(p);
    float value = ValueNow(shell, p);
    const bool moved = ImGui::SliderFloat(s.label, &value, s.lo, s.hi, s.format, 0);
    NoteItem(s.label);
    if (tooltip != nullptr && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", tooltip);
    if (moved) MoveControl(shell, p, value);
    return moved;
}

void FlipSwitch(ShellState& shell, Param p) {
    const float on = ValueNow(shell, p);
    MoveControl(shell, p, on != 0.0f ? 0.0f : 1.0f);
}

float SliderWidth(std::initializer_list<Param> params) {
    float widest = 0.0f;
    for (Param p : params) widest = std::max(widest, ImGui::CalcTextSize(Spec(p).label).x);
    const float available = ImGui::GetContentRegionAvail().x;
    return std::max(0.4f * available, available - widest - ImGui::GetStyle().ItemInnerSpacing.x);
}

bool PanelHeader(const char* label, bool AppConfig::*flag) {
    ImGui::SetNextItemOpen(appConfig.*flag, ImGuiCond_Once);
    const bool open = ImGui::CollapsingHeader(label);
    NoteItem(label);
    KeepPanelOpen(flag, open);
    return open;
}
