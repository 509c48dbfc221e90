#pragma once
// Frames of the window's GUI without a window, for tests: panels are drawn,
// clicked and typed into by label.

#include <imgui.h>

#include <functional>
#include <string>

#include "ui/widgets/item_probe.h"

// A real Dear ImGui context with no back-end: the program's font and theme, a
// fixed display size and delta time (1/60 s), input injected through ImGuiIO.
// Key indices are SDL scancodes, as the scripted platform numbers its shortcut keys.
void StartHeadlessUi(ImVec2 displaySize = ImVec2(1240, 1010));
void StopHeadlessUi();
// One frame: NewFrame, body, Render; an ItemProbe is installed for it.
const ItemProbe& RunFrame(const std::function<void()>& body);
// The item drawn under the label in the last frame (exact label, "##" part included), or nullptr.
// When several were noted under one label, the last of them.
const ProbedItem* FindItem(const std::string& label);
// Mouse to the item's middle (at `atX` of its width: a slider takes the value there), a frame with the
// button down, a frame up (3 frames in all, body each time). False when the label is not found.
bool Click(const std::string& label, const std::function<void()>& body, float atX = 0.5f);
void SetKeyDown(int keyIndex, bool down);  // io.KeysDown
void TypeText(const char* utf8);           // io.AddInputCharactersUTF8
