#include "platform/thread_priority.h"

#include <windows.h>
// After windows.h, which it needs.
#include <avrt.h>

// The multimedia class scheduler's audio task keeps the thread ahead of the
// desktop even under load; without the service, the highest plain priority.
// The task ends with the thread.
bool RaiseThisThreadPriority() {
    DWORD taskIndex = 0;
    if (AvSetMmThreadCharacteristicsW(L"Pro Audio", &taskIndex) != nullptr) return true;
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}
