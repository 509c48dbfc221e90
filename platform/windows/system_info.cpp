#include "platform/system_info.h"

#include <windows.h>

#include <string>

namespace {
using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
using WineVersion = const char*(CDECL*)();

// ntdll tells the true version; GetVersionEx lies to programs without a manifest.
template <typename Function>
Function FromNtdll(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::string Architecture() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
        case PROCESSOR_ARCHITECTURE_AMD64:
            return "x86_64";
        case PROCESSOR_ARCHITECTURE_ARM64:
            return "arm64";
        case PROCESSOR_ARCHITECTURE_INTEL:
            return "x86";
        default:
            return "unknown";
    }
}
}  // namespace

SystemDescription DescribeSystem() {
    SystemDescription d{"Windows (unknown version)", "unknown"};
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto getVersion = FromNtdll<RtlGetVersionCall>("RtlGetVersion");
    if (getVersion != nullptr && getVersion(&version) == 0) {
        const std::string number = std::to_string(version.dwMajorVersion) + "." +
                                   std::to_string(version.dwMinorVersion) + "." + std::to_string(version.dwBuildNumber);
        // Windows 11 still reports 10.0; its builds start at 22000.
        const bool eleven = version.dwMajorVersion == 10 && version.dwBuildNumber >= 22000;
        d.system = std::string(eleven ? "Windows 11" : "Windows") + " " + number;
        d.kernel = "Windows NT " + number + " " + Architecture();
    }
    if (const auto wine = FromNtdll<WineVersion>("wine_get_version"); wine != nullptr) {
        d.system += " (wine " + std::string(wine()) + ")";
    }
    return d;
}
