#pragma once
// The song library as the panels use it: a song played at its key, the
// typed song kept with the current key, the key stored with a song.

#include <cstddef>
#include <string>

#include "app/shell_state.h"

// The karaoke search page on the video site for the text, encoded.
std::string BuildSearchUrl(const std::string& text);
// The beat at the song's stored key (within -3..+3), then its link in the
// browser, or the karaoke search for its name when it has none. False for
// an index outside the list, or a link that may not be opened.
bool PlaySong(size_t index, ShellState& shell);
// "LƯU BÀI HÁT + TONE HIỆN TẠI": the typed name and link with the current
// key at the top of the list (the oldest beyond 100 dropped), saved, the
// fields emptied. False, nothing done, for an empty name.
bool AddTypedSong(ShellState& shell);
// "TONE": the current key kept with the song.
bool StoreSongTone(size_t index, const ShellState& shell);
