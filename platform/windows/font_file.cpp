// The window's font on Windows: DejaVu Sans shipped beside the program, else
// a system font that has the Vietnamese letters.

#include "platform/font_file.h"

#include <windows.h>
// after windows.h, which they need
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/windows/wide_text.h"

namespace {
constexpr const wchar_t* kShippedFont = L"DejaVuSans.ttf";
// Each has the whole Vietnamese alphabet.
constexpr const wchar_t* kSystemFonts[] = {L"segoeui.ttf", L"arial.ttf", L"tahoma.ttf"};

bool IsFontFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::filesystem::path ProgramFolder() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) return std::filesystem::path(std::wstring(name.data(), length)).parent_path();
        name.resize(2 * name.size());
    }
}

std::filesystem::path FontsFolder() {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Fonts, 0, nullptr, &folder))) path = folder;
    CoTaskMemFree(folder);
    return path;
}
}  // namespace

std::string FindUiFontFile(std::string& reason) {
    const std::filesystem::path shipped = ProgramFolder() / kShippedFont;
    if (IsFontFile(shipped)) return WideToUtf8(shipped.wstring());
    const std::filesystem::path fonts = FontsFolder();
    if (!fonts.empty()) {
        for (const wchar_t* name : kSystemFonts) {
            if (IsFontFile(fonts / name)) return WideToUtf8((fonts / name).wstring());
        }
    }
    reason = "Khong tim thay font DejaVuSans.ttf canh chuong trinh, va ca Segoe UI, Arial, Tahoma trong thu muc Fonts";
    return "";
}
