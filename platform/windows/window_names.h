#pragma once
// What the program's window is known by, to itself and to a second start,
// and how either brings it to the front.

#include <windows.h>

inline constexpr const wchar_t* kWindowClassName = L"SonavelaClass";
// The same title the window is opened with.
inline constexpr const wchar_t* kWindowTitleWide = L"Sonavela Studio - Professional Live Vocal & Beat Engine";

// Restored when minimised, put in front, and its taskbar button flashed twice.
inline void RaiseWindow(HWND window) {
    ShowWindow(window, IsIconic(window) != 0 ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_TRAY;
    flash.uCount = 2;
    flash.dwTimeout = 0;
    FlashWindowEx(&flash);
}
