#include "platform/scripted/scripted_platform.h"
#include "platform/shortcut_keys.h"

// Numbered as the SDL back-end numbers them (scancodes), like the rest of the
// key table the tests' frames map.
const ShortcutKeyCodes& ShortcutKeys() {
    static const ShortcutKeyCodes keys{.t = 23,
                                       .h = 11,
                                       .numpadDivide = 84,
                                       .numpadDecimal = 99,
                                       .numpadPlus = 87,
                                       .numpadMinus = 86,
                                       .numpad0 = 98,
                                       .numpadMultiply = 85};
    return keys;
}

WindowPlacement GetAppWindowPlacement() { return scripted.window.placement; }

void SetAppWindowPlacement(const WindowPlacement& placement) { scripted.window.placement = placement; }

void ResizeAppWindow(int width, int height) {
    scripted.window.placement.maximised = false;
    scripted.window.placement.bounds.width = width;
    scripted.window.placement.bounds.height = height;
}

void KeepAppWindowOnTop(bool onTop) { scripted.window.onTop = onTop; }
