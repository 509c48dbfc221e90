#include "ui/widgets/theme.h"

void ApplyTheme() {
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(14.0f, 12.0f);
    style.WindowRounding = 10.0f;
    style.ChildRounding = 8.0f;
    style.PopupRounding = 6.0f;
    style.FramePadding = ImVec2(10.0f, 7.0f);
    style.FrameRounding = 6.0f;
    style.ItemSpacing = ImVec2(10.0f, 8.0f);
    style.ScrollbarSize = 10.0f;
    style.ScrollbarRounding = 6.0f;
    style.GrabRounding = 6.0f;

    ImVec4* colours = style.Colors;
    colours[ImGuiCol_Text] = ImVec4(0.92f, 0.94f, 0.96f, 1.00f);
    colours[ImGuiCol_TextDisabled] = ImVec4(0.50f, 0.55f, 0.60f, 1.00f);
    colours[ImGuiCol_WindowBg] = ImVec4(0.065f, 0.075f, 0.095f, 1.00f);
    colours[ImGuiCol_ChildBg] = ImVec4(0.095f, 0.11f, 0.14f, 0.96f);
    colours[ImGuiCol_Border] = ImVec4(0.20f, 0.27f, 0.36f, 0.62f);
    colours[ImGuiCol_FrameBg] = ImVec4(0.14f, 0.16f, 0.20f, 1.00f);
    colours[ImGuiCol_FrameBgHovered] = ImVec4(0.18f, 0.22f, 0.28f, 1.00f);
    colours[ImGuiCol_FrameBgActive] = ImVec4(0.22f, 0.27f, 0.35f, 1.00f);
    colours[ImGuiCol_ScrollbarBg] = ImVec4(0.10f, 0.11f, 0.14f, 0.60f);
    colours[ImGuiCol_ScrollbarGrab] = ImVec4(0.24f, 0.30f, 0.40f, 0.80f);
    colours[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.00f, 0.75f, 0.90f, 0.90f);
    colours[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.00f, 0.90f, 1.00f, 1.00f);
    colours[ImGuiCol_CheckMark] = ImVec4(0.00f, 0.85f, 1.00f, 1.00f);
    colours[ImGuiCol_SliderGrab] = ImVec4(0.00f, 0.78f, 0.95f, 1.00f);
    colours[ImGuiCol_SliderGrabActive] = ImVec4(0.30f, 0.88f, 1.00f, 1.00f);
    colours[ImGuiCol_Button] = ImVec4(0.16f, 0.22f, 0.30f, 1.00f);
    colours[ImGuiCol_ButtonHovered] = ImVec4(0.00f, 0.65f, 0.85f, 1.00f);
    colours[ImGuiCol_ButtonActive] = ImVec4(0.00f, 0.50f, 0.70f, 1.00f);
    colours[ImGuiCol_Header] = ImVec4(0.18f, 0.25f, 0.35f, 0.80f);
    colours[ImGuiCol_HeaderHovered] = ImVec4(0.22f, 0.32f, 0.45f, 0.90f);
    colours[ImGuiCol_HeaderActive] = ImVec4(0.00f, 0.70f, 0.90f, 1.00f);
}
