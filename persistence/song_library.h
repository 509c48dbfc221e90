#pragma once
// The singer's song list: title, YouTube link, the key shift that suits the
// singer for the song, and a favourite mark; newest first, at most 100.
// Kept in "recent_songs.txt", one song per line: name|url|tone|favourite.

#include <string>
#include <string_view>
#include <vector>

struct SongEntry {
    std::string name;  // at most 127 bytes
    std::string url;   // at most 255 bytes
    float tone = 0.0f; // semitones
    bool favorite = false;
};

struct SongLibrary {
    static constexpr size_t maxSongs = 100;
    static constexpr size_t maxNameBytes = 127;
    static constexpr size_t maxUrlBytes = 255;
    std::vector<SongEntry> songs;  // index 0 at the top
};

extern SongLibrary songLibrary;

// From the library file, or the three default songs when it cannot be read.
void LoadSongLibrary();
// Rewrites the file from the list; a failed write keeps the old file.
bool SaveSongLibrary();

std::vector<SongEntry> ParseSongLibrary(std::string_view text);
std::string FormatSongLibrary(const std::vector<SongEntry>& songs);

// Case-insensitive for the ASCII letters only; an empty search matches all.
bool SongMatches(const SongEntry& song, std::string_view search);

// The operations of the library panels; each that changes the list saves it.
// A name or link is cut to its field and has any '|' replaced by a space.
bool AddSong(std::string_view name, std::string_view url, float tone);
bool ToggleSongFavorite(size_t index);
bool UpdateSongTone(size_t index, float tone);  // stored clamped to -3..+3
bool EditSong(size_t index, std::string_view name, std::string_view url);
bool DeleteSong(size_t index);
// The tone a song plays at: its stored tone within -3..+3.
float SongPlayTone(const SongEntry& song);
