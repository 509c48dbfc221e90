#pragma once
// Where each item of a frame was drawn, by its label, for the window's tests
// (they click and read items by label, never by pixel position). In the
// program no probe is installed and noting an item costs one test.

#include <imgui.h>

#include <string>
#include <vector>

struct ProbedItem {
    std::string label;
    ImGuiID id = 0;
    ImVec2 min;
    ImVec2 max;
};

struct ItemProbe {
    std::vector<ProbedItem> items;  // this frame's, in drawing order
};

// nullptr removes the probe.
void SetItemProbe(ItemProbe* probe);
// Records the last item drawn under the label.
void NoteItem(const char* label);
// For items whose result is used: `if (Noted("OK", ImGui::Button("OK")))`.
template <typename Result>
Result Noted(const char* label, Result result) {
    NoteItem(label);
    return result;
}
