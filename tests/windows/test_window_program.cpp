// The Windows program itself (under wine and a virtual display): its window
// and screenshot, a second start that raises the first, and an orderly end.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// Its stb_image, with the code the Linux build links from libstb.
#define STB_IMAGE_IMPLEMENTATION
#include "tests/support/drawn_picture.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path BesideUs(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / name;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program with its output in `log`; the handle of its process.
HANDLE Start(const fs::path& log) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring command = L"\"" + BesideUs(L"sonavela.exe").wstring() + L"\"";
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    if (started == 0) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Its exit code, or -1 when it is still running after `ms`.
long Ended(HANDLE process, DWORD ms) {
    DWORD code = 0;
    if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0 || GetExitCodeProcess(process, &code) == 0) return -1;
    return static_cast<long>(code);
}

bool WaitForText(const fs::path& file, const std::string& text, std::chrono::seconds bound) {
    for (auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end;) {
        if (ReadFile(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

HWND ProgramWindow() {
    return FindWindowW(L"SonavelaClass", L"Sonavela Studio - Professional Live Vocal & Beat Engine");
}

// As big as the window's inside, with pixels unlike the clear colour and colours in all.
void ExpectScreenshot(const fs::path& png, const RECT& inside) {
    int width = 0;
    int height = 0;
    ExpectDrawnPicture(png.string(), width, height);
    EXPECT_EQ(width, inside.right);
    EXPECT_EQ(height, inside.bottom);
}
}  // namespace

TEST(WindowProgram, DrawsItsWindowRaisesItselfForASecondStartAndEndsInOrder) {
    const fs::path dir = fs::temp_directory_path() / ("sonavela-window-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir);
    const fs::path png = dir / "studio.png";
    SetEnvironmentVariableW(L"SONAVELA_SCREENSHOT", png.c_str());
    SetEnvironmentVariableW(L"SONAVELA_NO_MESSAGE_BOX", L"1");
    SetEnvironmentVariableW(L"SONAVELA_SCREENSHOT_FRAME", L"120");
    HANDLE first = Start(dir / "first.log");
    ASSERT_NE(first, nullptr);
    HWND window = nullptr;
    for (int tries = 0; tries < 600 && window == nullptr; ++tries) {
        std::this_thread::sleep_for(100ms);
        window = ProgramWindow();
    }
    ASSERT_NE(window, nullptr) << ReadFile(dir / "first.log");
    // Sized anew long before the screenshot's frame: the picture follows.
    SetWindowPos(window, nullptr, 0, 0, 1100, 700, SWP_NOMOVE | SWP_NOZORDER);
    RECT inside{};
    GetClientRect(window, &inside);
    ASSERT_TRUE(WaitForText(dir / "first.log", "[OK] Anh chup cua so", 90s)) << ReadFile(dir / "first.log");
    ExpectScreenshot(png, inside);
    if (const char* keep = std::getenv("SONAVELA_KEEP_SCREENSHOT"); keep != nullptr) {
        fs::copy_file(png, keep, fs::copy_options::overwrite_existing);
    }

    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    SetEnvironmentVariableW(L"SONAVELA_SCREENSHOT", nullptr);
    HANDLE second = Start(dir / "second.log");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Ended(second, 20000), 0);
    CloseHandle(second);
    EXPECT_EQ(ReadFile(dir / "second.log").find("Sonavela ASIO Core"), std::string::npos) << "it started again";
    EXPECT_FALSE(IsIconic(window)) << "the first copy was not restored";

    PostMessageW(window, WM_CLOSE, 0, 0);
    const long code = Ended(first, 30000);
    EXPECT_EQ(code, 0);
    if (code == -1) TerminateProcess(first, 1);
    CloseHandle(first);
    const std::string log = ReadFile(dir / "first.log");
    EXPECT_NE(log.find("[OK] Sonavela da dong."), std::string::npos) << log;
    EXPECT_EQ(log.find("khong co trong font"), std::string::npos) << log;
    std::error_code error;
    fs::remove_all(dir, error);
}
