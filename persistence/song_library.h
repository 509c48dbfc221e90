#pragma once
// The singer's song list: title, YouTube link, the key shift that suits the
// singer for the song, and a favourite mark; newest first, at most 100.
// Kept in "recent_songs.txt", one song per line: name|url|tone|favourite.
// Fields a later version adds after these are kept with the song, and lines
// that are no song are written back as they were.

#include <string>
#include <string_view>
#include <vector>

#include "persistence/kept_file.h"

struct SongEntry {
    std::string name;   // at most 127 bytes
    std::string url;    // at most 255 bytes
    float tone = 0.0f;  // semitones
    bool favorite = false;
    std::string laterFields;  // "|..." after the favourite as read, control characters as spaces
};

struct SongLibrary {
    static constexpr size_t maxSongs = 100;
    static constexpr size_t maxNameBytes = 127;
    static constexpr size_t maxUrlBytes = 255;
    std::vector<SongEntry> songs;  // index 0 at the top
};

extern SongLibrary songLibrary;
// What LoadSongLibrary found, and the lines that were no song.
extern KeptFile songLibraryFile;

// From the library file, or the three default songs when there is none or
// it cannot be read.
void LoadSongLibrary();
// Rewrites the file from the list, then the lines kept unread as they were;
// a failed write keeps the old file.
bool SaveSongLibrary();

// `unread` gets the non-empty lines of fewer than four fields, each as the file holds it.
std::vector<SongEntry> ParseSongLibrary(std::string_view text, std::vector<std::string>* unread = nullptr);
std::string FormatSongLibrary(const std::vector<SongEntry>& songs, const std::vector<std::string>& unread = {});

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
