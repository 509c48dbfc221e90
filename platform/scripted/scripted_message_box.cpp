#include "platform/message_box.h"
#include "platform/scripted/scripted_platform.h"

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon, bool owned) {
    scripted.messages.push_back(ScriptedMessage{text, caption, icon, owned});
}
