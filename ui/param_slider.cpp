#include "ui/param_slider.h"

#include <imgui.h>

#include <algorithm>

#include "app/controls.h"
#include "ui/widgets/item_probe.h"

bool ParamSlider(ShellState& shell, Param p, const char* tooltip) {
    const ParamSpec& s = Spec(p);
    // The two levels the engine holds the truth of follow it; the others their mirrors.
    float value = s.engineValue != nullptr ? s.engineValue() : shell.sliders[p];
    const bool moved = ImGui::SliderFloat(s.label, &value, s.lo, s.hi, s.format, 0);
    NoteItem(s.label);
    if (tooltip != nullptr && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", tooltip);
    if (moved) MoveControl(shell, p, value);
    return moved;
}

void FlipSwitch(ShellState& shell, Param p) {
    const float on = Spec(p).engineValue != nullptr ? Spec(p).engineValue() : shell.sliders[p];
    MoveControl(shell, p, on != 0.0f ? 0.0f : 1.0f);
}

float SliderWidth(std::initializer_list<Param> params) {
    float widest = 0.0f;
    for (Param p : params) widest = std::max(widest, ImGui::CalcTextSize(Spec(p).label).x);
    const float available = ImGui::GetContentRegionAvail().x;
    return std::max(0.4f * available, available - widest - ImGui::GetStyle().ItemInnerSpacing.x);
}
