#include "ui/widgets/item_probe.h"

#include <imgui_internal.h>

namespace {
ItemProbe* installedProbe = nullptr;
}

void SetItemProbe(ItemProbe* probe) { installedProbe = probe; }

void NoteItem(const char* label) {
    if (installedProbe == nullptr) return;
    installedProbe->items.push_back(ProbedItem{label != nullptr ? label : "", ImGui::GetItemID(),
                                               ImGui::GetItemRectMin(), ImGui::GetItemRectMax()});
}
