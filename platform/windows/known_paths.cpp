#include "platform/known_paths.h"

#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/windows/wide_text.h"

namespace {
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT found = SHGetKnownFolderPath(id, 0, nullptr, &path);
    const std::string folder = TakeTaskText(path);
    return SUCCEEDED(found) ? folder : "";
}

// The variable counts only when it fits a classic path buffer.
std::string Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length >= 1 && length < MAX_PATH ? WideToUtf8(std::wstring_view(value, length)) : "";
}
}  // namespace

std::string LocalAppDataFolder() {
    std::string folder = KnownFolder(FOLDERID_LocalAppData);
    return folder.empty() ? Variable(L"LOCALAPPDATA") : folder;
}

std::string DocumentsFolder() { return KnownFolder(FOLDERID_Documents); }

std::string TempFolder() {
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length < 1 || length >= MAX_PATH) return "C:\\Temp";
    // Without the separator the system adds, as the other folders come.
    const size_t kept = length > 3 && path[length - 1] == L'\\' ? length - 1 : length;
    return WideToUtf8(std::wstring_view(path, kept));
}

std::string ExecutablePath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A result that fills the buffer may have been cut.
    if (length == 0 || length >= path.size()) return "";
    path.resize(length);
    return WideToUtf8(path);
}

std::string EnvironmentText(const std::string& name) {
    const std::wstring wideName = Utf8ToWide(name);
    const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) return "";
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    if (length == 0 || length >= needed) return "";
    value.resize(length);
    return WideToUtf8(value);
}
