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
