#include "app/notices.h"

namespace {
std::vector<Notice> queued;
}  // namespace

void PostNotice(const std::string& caption, const std::string& text, MessageIcon icon, bool owned) {
    queued.push_back({caption, text, icon, owned});
}

std::vector<Notice> TakeNotices() {
    std::vector<Notice> taken;
    taken.swap(queued);
    return taken;
}

void ShowPendingNotices() {
    for (const Notice& n : TakeNotices()) ShowMessageBox(n.text, n.caption, n.icon, n.owned);
}
