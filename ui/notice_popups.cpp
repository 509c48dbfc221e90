#include "ui/notice_popups.h"

#include <deque>
#include <string>

#include "app/notices.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"

namespace {
std::deque<Notice> waiting;

// A filled disc with "!" for a warning, "i" for information.
void DrawIconMark(MessageIcon icon) {
    const float size = ImGui::GetFrameHeight();
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const ImVec2 centre(at.x + size / 2, at.y + size / 2);
    const ImVec4 colour = icon == MessageIcon::Warning ? kAmber : kCyan;
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddCircleFilled(centre, size / 2, ImGui::GetColorU32(colour));
    const char* mark = icon == MessageIcon::Warning ? "!" : "i";
    const ImVec2 markSize = ImGui::CalcTextSize(mark);
    draw->AddText(ImVec2(centre.x - markSize.x / 2, centre.y - markSize.y / 2), IM_COL32(16, 20, 28, 255), mark);
    ImGui::Dummy(ImVec2(size, size));
}
}  // namespace

void DrawNoticePopups() {
    for (Notice& n : TakeNotices()) waiting.push_back(std::move(n));
    if (waiting.empty()) return;
    const Notice& notice = waiting.front();
    const std::string id = notice.caption + "##Notice";
    if (!ImGui::IsPopupOpen(id.c_str())) ImGui::OpenPopup(id.c_str());
    const ImGuiViewport* view = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(view->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSizeConstraints(ImVec2(380, 0), ImVec2(640, view->Size.y * 0.9f));
    bool done = false;
    if (ImGui::BeginPopupModal(id.c_str(), nullptr,
                               ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings)) {
        DrawIconMark(notice.icon);
        ImGui::SameLine();
        ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + 520);
        ImGui::TextUnformatted(notice.text.c_str());
        ImGui::PopTextWrapPos();
        ImGui::Spacing();
        ImGui::SetCursorPosX(ImGui::GetWindowContentRegionMax().x - 120);
        if (Noted("OK##Notice", ImGui::Button("OK##Notice", ImVec2(120, 0)))) {
            ImGui::CloseCurrentPopup();
            done = true;
        }
        ImGui::EndPopup();
    }
    if (done) waiting.pop_front();
}
