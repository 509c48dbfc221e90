// The system's message box, wide so that Vietnamese captions survive. An
// owned box sits on the program's window, found by its class among this
// process's windows; without a desktop the text goes to the console instead.

#include "platform/message_box.h"

#include <windows.h>

#include <cstdlib>

#include "platform/console.h"
#include "platform/windows/wide_text.h"

namespace {
HWND OurWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"SonavelaClass", nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId()) return window;
    }
    return nullptr;
}
}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon, bool owned) {
    const UINT flags = icon == MessageIcon::Warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION;
    if (std::getenv("SONAVELA_NO_MESSAGE_BOX") == nullptr &&
        MessageBoxW(owned ? OurWindow() : nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags) != 0) {
        return;
    }
    Console("[" + caption + "] " + text + "\n");
}
