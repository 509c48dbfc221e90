// One copy per session: a named mutex. A second start finds the first copy's
// window itself and brings it to the front, so the first has nothing to take.

#include "platform/single_instance.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/wide_text.h"
#include "platform/windows/window_names.h"

namespace {
constexpr const wchar_t* kMutexName = L"Local\\Brivanta_Sonavela_Studio_SingleInstance_v1";
constexpr int kTryEveryMs = 100;

struct Instance {
    HANDLE mutex = nullptr;
};
Instance instance;
}  // namespace

InstanceClaim ClaimSingleInstance(const std::string& /*fallbackFolder*/, std::string& reason) {
    ReleaseSingleInstance();
    instance.mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (instance.mutex == nullptr) {
        reason = "CreateMutexW: " + SystemErrorText(GetLastError());
        return InstanceClaim::Failed;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? InstanceClaim::Second : InstanceClaim::First;
}

bool AskFirstInstanceToRaise(int timeoutMs) {
    // The first copy may hold the mutex before its window exists.
    HWND window = nullptr;
    for (int tries = std::max(1, timeoutMs / kTryEveryMs); tries > 0 && window == nullptr; --tries) {
        window = FindWindowW(kWindowClassName, kWindowTitleWide);
        if (window == nullptr) Sleep(kTryEveryMs);
    }
    if (window != nullptr) RaiseWindow(window);
    ReleaseSingleInstance();
    return window != nullptr;
}

bool TakeRaiseRequest() { return false; }

void ReleaseSingleInstance() {
    if (instance.mutex != nullptr) CloseHandle(instance.mutex);
    instance = Instance{};
}
