#include "platform/shortcut_keys.h"

// Any distinct indices of the key-down table do; tests press them by name.
const ShortcutKeyCodes& ShortcutKeys() {
    static const ShortcutKeyCodes keys{.t = 20,
                                       .h = 21,
                                       .numpadDivide = 22,
                                       .numpadDecimal = 23,
                                       .numpadPlus = 24,
                                       .numpadMinus = 25,
                                       .numpad0 = 26,
                                       .numpadMultiply = 27};
    return keys;
}
