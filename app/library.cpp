#include "app/library.h"

#include "app/outside_world.h"
#include "devices/beat_pump.h"
#include "persistence/song_library.h"

std::string BuildSearchUrl(const std::string& text) {
    return "https://www.youtube.com/results?search_query=karaoke+" + UrlEncodeQuery(text);
}

bool PlaySong(size_t index, ShellState& shell) {
    if (index >= songLibrary.songs.size()) return false;
    const SongEntry& song = songLibrary.songs[index];
    shell.toneSemitones = RequestBeatTone(SongPlayTone(song));
    return OpenInBrave(song.url.empty() ? BuildSearchUrl(song.name) : song.url);
}

bool AddTypedSong(ShellState& shell) {
    if (!AddSong(shell.songName, shell.songUrl, shell.toneSemitones)) return false;
    shell.songName[0] = '\0';
    shell.songUrl[0] = '\0';
    return true;
}

bool StoreSongTone(size_t index, const ShellState& shell) { return UpdateSongTone(index, shell.toneSemitones); }
