#include "platform/desktop_open.h"

#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>

#include <cstdint>

#include "platform/console.h"
#include "platform/known_paths.h"
#include "platform/launch.h"
#include "platform/windows/wide_text.h"

namespace {
// ShellExecuteW reports success as a value above 32.
bool Shell(const std::wstring& file, const std::wstring& parameters) {
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(),
                                           parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<intptr_t>(result) > 32;
}

bool Told(bool opened, const std::string& what) {
    if (!opened) Console("[WARN] Khong mo duoc " + what + ": " + SystemErrorText(GetLastError()) + "\n");
    return opened;
}

constexpr const char* kBraveUnder = "\\BraveSoftware\\Brave-Browser\\Application\\brave.exe";

// The per-user installation, when LOCALAPPDATA names a usable folder.
std::string UserBrave() {
    const std::string base = EnvironmentText("LOCALAPPDATA");
    return !base.empty() && base.size() < MAX_PATH ? base + kBraveUnder : "";
}
}  // namespace

bool OpenWithDesktop(const std::string& target) { return Told(Shell(Utf8ToWide(target), L""), target); }

std::string BraveBrowserPath() {
    for (const std::string& path : {UserBrave(), std::string("C:\\Program Files") + kBraveUnder,
                                    std::string("C:\\Program Files (x86)") + kBraveUnder}) {
        if (!path.empty() && !FindProgramOnPath(path).empty()) return path;
    }
    return "";
}

bool StartBraveBrowser(const std::string& url) {
    // The shell first finds brave.exe where the installer registered it.
    const std::wstring address = Utf8ToWide(url);
    if (Shell(L"brave.exe", address)) return true;
    for (const std::string& path : {UserBrave(), std::string("C:\\Program Files") + kBraveUnder}) {
        if (!path.empty() && Shell(Utf8ToWide(path), address)) return true;
    }
    return false;
}

bool OpenSoundSettings(SoundPage page, std::string&) {
    if (page == SoundPage::AppVolumes) return Told(Shell(L"ms-settings:apps-volume", L""), "ms-settings:apps-volume");
    return Told(Shell(L"control.exe", L"mmsys.cpl sounds"), "control.exe mmsys.cpl sounds");
}

InstallHelp HowToInstall(InstallItem item) {
    switch (item) {
        case InstallItem::Browser:
            return {"Sonavela - Brave Browser", "https://brave.com/download/", ""};
        case InstallItem::Cable:
            return {"Sonavela - VB-CABLE", "https://vb-audio.com/Cable/", ""};
        case InstallItem::StudioDriver:
            return {"Sonavela - Driver Studio", "https://www.asio4all.org/", ""};
        case InstallItem::Livestream:
            return {"Sonavela - Livestream", "/sonavela/asio-link-pro", ""};
    }
    return {};
}

// Only a driver installer makes a virtual cable on Windows.
bool SoundServerMakesCable() { return false; }

std::string StudioDriverLimits() {
    return "Ban Windows nay chua ho tro ASIO (driver ASIO can ASIO SDK, khong co trong bo build): Studio chay tren "
           "WASAPI cua Windows, microphone qua Direct Mic Bridge.";
}
