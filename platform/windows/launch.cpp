#include "platform/launch.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace {
// One argument as CommandLineToArgvW and the C runtime split it back:
// quoted when it holds blanks or quotes, backslashes doubled before a quote.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
}  // namespace

std::string FindProgramOnPath(const std::string& name) {
    const std::wstring wide = Utf8ToWide(name);
    if (wide.empty()) return "";
    if (wide.find_first_of(L"\\/") != std::wstring::npos) return IsFile(wide) ? name : "";
    std::wstring found(32768, L'\0');
    const DWORD length =
        SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0 || length >= found.size()) return "";
    found.resize(length);
    return IsFile(found) ? WideToUtf8(found) : "";
}

bool LaunchProgram(const std::vector<std::string>& arguments, std::string& reason) {
    if (arguments.empty() || arguments.front().empty()) {
        reason = "no program given";
        return false;
    }
    const std::string path = FindProgramOnPath(arguments.front());
    if (path.empty()) {
        reason = arguments.front() + " is not installed";
        return false;
    }
    std::wstring line;
    for (const std::string& argument : arguments) line += (line.empty() ? L"" : L" ") + Quoted(Utf8ToWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // None of our handles, and away from our console's Ctrl+C: it lives on its own.
    if (!CreateProcessW(Utf8ToWide(path).c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, nullptr, &startup, &process)) {
        reason = SystemErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
