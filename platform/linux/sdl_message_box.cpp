// SDL2's own message box; without a desktop it fails at once and the text
// goes to the console.

#include <SDL2/SDL.h>

#include <cstdlib>

#include "platform/console.h"
#include "platform/message_box.h"

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon, bool) {
    // `owned` waits for the main window; until there is one no box has a parent.
    const Uint32 flags = icon == MessageIcon::Warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    if (std::getenv("SONAVELA_NO_MESSAGE_BOX") == nullptr &&
        SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) == 0) {
        return;
    }
    Console("[" + caption + "] " + text + "\n");
}
