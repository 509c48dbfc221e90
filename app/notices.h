#pragma once
// What the program tells the user: device and application code queue a
// notice as it happens, and the frame loop shows the queued ones between
// frames, so no dialog ever opens inside an operation or a widget.

#include <string>
#include <vector>

#include "platform/message_box.h"

struct Notice {
    std::string caption;  // "Sonavela - ..."
    std::string text;
    MessageIcon icon = MessageIcon::Warning;
    bool owned = true;  // false for what start-up tells before the window exists
};

void PostNotice(const std::string& caption, const std::string& text, MessageIcon icon, bool owned = true);
// The queued notices, oldest first; the queue is empty afterwards.
std::vector<Notice> TakeNotices();
// Shows every queued notice as a message box over the main window.
void ShowPendingNotices();
