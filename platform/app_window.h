#pragma once
// The program's one window, drawn by the GUI library's back-ends for the
// platform (SDL2 and OpenGL 3 on Linux, Win32 and Direct3D 11 on Windows).
// Main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct WindowBounds {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The desktop's window system; false, with the reason, when there is no display.
bool StartWindowSystem(std::string& reason);
// The usable part of the main display (without panels and docks).
WindowBounds UsableDisplayBounds();
// Opens the window with its icon and GL context and starts both back-ends,
// for the GUI context already created.
bool OpenAppWindow(const std::string& title, const WindowBounds& place, std::string& reason);
void CloseAppWindow();
void StopWindowSystem();
// The display went away under the window (its server ended); the frame loop
// is told to quit, and the program ends without drawing again.
bool AppWindowDisplayLost();
// The frame loop's work besides drawing, run every few milliseconds while
// the window system holds the main thread in a loop of its own (Windows
// does while the user moves or sizes the window; SDL on Linux never does).
void SetMoveSizeWork(std::function<void()> work);

// Waits up to timeoutSeconds for the first event and handles every event
// waiting. Returns whether any arrived; `quit` is set when the user closed
// the window or the display went away, `exposed` when what it showed must be
// drawn again.
bool HandleWindowEvents(double timeoutSeconds, bool& quit, bool& exposed);
bool AppWindowMinimised();
// The OpenGL renderer draws in software (no GPU): frames are then expensive.
bool AppWindowDrawsInSoftware();
// Back-ends' part of a new frame, before the GUI library's own.
void BeginWindowFrame();
// Draws the frame's draw data over the clear colour and swaps. With
// `capture`, the back buffer is read first (RGBA, top row first).
void PresentWindowFrame(const float clear[4], std::vector<uint8_t>* capture, int& width, int& height);
// A second start asked for us: restored, raised and flashed.
void RaiseAppWindow();

// Where the window stands, to put it back there later.
struct WindowPlacement {
    WindowBounds bounds;
    bool maximised = false;
};
WindowPlacement GetAppWindowPlacement();
void SetAppWindowPlacement(const WindowPlacement& placement);
// The new size where the window stands (restored first when maximised).
void ResizeAppWindow(int width, int height);
// Above every other window, or back among them.
void KeepAppWindowOnTop(bool onTop);

bool SavePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
