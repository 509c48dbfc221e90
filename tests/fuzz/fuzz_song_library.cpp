// Any bytes as a song library: songs fit their fields with finite tones; a save, unread lines included,
// loads back unchanged.

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "persistence/song_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> unread, unreadAgain;
    const std::vector<SongEntry> songs =
        ParseSongLibrary(std::string_view(reinterpret_cast<const char*>(data), size), &unread);
    for (const SongEntry& s : songs) {
        if (s.name.size() > SongLibrary::maxNameBytes || s.url.size() > SongLibrary::maxUrlBytes ||
            !std::isfinite(s.tone))
            std::abort();
    }
    const std::string saved = FormatSongLibrary(songs, unread);
    if (FormatSongLibrary(ParseSongLibrary(saved, &unreadAgain), unreadAgain) != saved) std::abort();
    return 0;
}
