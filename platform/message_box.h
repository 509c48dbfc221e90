#pragma once
// A modal message to the person at the computer. Shown owned by the main
// window when there is one and `owned` is set; without a desktop the text
// goes to the console instead.

#include <string>

enum class MessageIcon { Warning, Information };

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon, bool owned);
