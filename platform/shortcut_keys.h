#pragma once
// The keys of the window's shortcuts as indices into the GUI library's
// key-down table, which each window back-end numbers in its own way.

struct ShortcutKeyCodes {
    int t = 0;
    int h = 0;
    int numpadDivide = 0;
    int numpadDecimal = 0;
    int numpadPlus = 0;
    int numpadMinus = 0;
    int numpad0 = 0;
    int numpadMultiply = 0;
};

const ShortcutKeyCodes& ShortcutKeys();
