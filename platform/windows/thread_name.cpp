#include "platform/thread_name.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

void NameThisThread(const char* name) {
    // Windows 10 1607 and later; looked up so the program still starts on older systems.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (setDescription == nullptr) return;
    setDescription(GetCurrentThread(), Utf8ToWide(name).c_str());
}
