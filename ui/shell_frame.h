#pragma once
// One frame of the window's content, apart from the window itself: the device
// changes the panels asked for, the keyboard shortcuts, "Sonavela Panel" with
// the Studio layout or the Mini Player, and the dialogs. Main thread.

#include <imgui.h>

#include <cstdint>

#include "app/shell_state.h"
#include "platform/app_window.h"

inline constexpr const char* kWindowTitle = "Sonavela Studio - Professional Live Vocal & Beat Engine";

// Before the GUI frame begins: the requests the previous frame posted.
void BeforeShellFrame(ShellState& shell);
// Between the GUI library's NewFrame and Render.
void DrawShellFrame(ShellState& shell);
// The shortcuts on their keys' press edges; none while a text field takes
// the keys. DrawShellFrame runs them first.
void HandleShortcuts(ShellState& shell);

// The Studio columns for the panel's available width; the third takes the rest.
float VocalColumnWidth(float available);
float BeatColumnWidth(float available);
// The main window in the display's usable area: at most 1240 x 1400 with a
// margin, the whole area when that would be too small, centred.
WindowBounds PlaceMainWindow(const WindowBounds& workArea);

// A digest of a frame's draw data: two frames that draw the same picture
// have the same one, so an unchanged frame need not be drawn again.
uint64_t FrameFingerprint(const ImDrawData* data);

// How soon the next frame is wanted when no input comes: moving meters are
// animated, a caret blinks, anything else is looked at a few times a second
// (and drawn only when it changed).
double SecondsToNextFrame(bool softwareDrawing);
