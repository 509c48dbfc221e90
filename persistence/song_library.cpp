#include "persistence/song_library.h"

#include <algorithm>

#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/text_fields.h"

SongLibrary songLibrary;
KeptFile songLibraryFile;

namespace {
// A hundred songs of full fields are under 40 kB: anything far larger is not
// a library and is read no further (and kept aside before it is replaced).
constexpr size_t kMaxFileBytes = 1 << 20;
constexpr float kToneLimit = 3.0f;

std::vector<SongEntry> DefaultSongs() {
    return {{"Mot coi di ve", "https://www.youtube.com/", -2.0f, true, ""},
            {"Thanh pho buon", "", -1.0f, false, ""},
            {"Mua tren bien vang", "", 0.0f, true, ""}};
}

// The first four '|'-separated fields, then the rest from its '|'; false
// when there are fewer.
bool SplitFields(std::string_view line, std::string_view (&fields)[5]) {
    for (int i = 0; i < 3; ++i) {
        const size_t bar = line.find('|');
        if (bar == std::string_view::npos) return false;
        fields[i] = line.substr(0, bar);
        line.remove_prefix(bar + 1);
    }
    const size_t bar = std::min(line.find('|'), line.size());
    fields[3] = line.substr(0, bar);
    fields[4] = line.substr(bar);
    return true;
}

std::string NameField(std::string_view text) { return TruncateUtf8(CleanField(text, '|'), SongLibrary::maxNameBytes); }
std::string UrlField(std::string_view text) { return TruncateUtf8(CleanField(text, '|'), SongLibrary::maxUrlBytes); }

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool Valid(size_t index) { return index < songLibrary.songs.size(); }
}  // namespace

std::vector<SongEntry> ParseSongLibrary(std::string_view text, std::vector<std::string>* unread) {
    std::vector<SongEntry> songs;
    ForEachLine(text, [&](std::string_view line) {
        std::string_view f[5];
        if (!SplitFields(line, f)) {
            if (unread != nullptr && !line.empty()) unread->emplace_back(RawLine(line, text));
            return;
        }
        float tone = 0.0f;
        ParseFloatPrefix(f[2], tone);
        // Later fields keep their '|'; a control character, which could end the line, becomes a space.
        songs.push_back({NameField(f[0]), UrlField(f[1]), tone, f[3] == "1", CleanField(f[4], '\n')});
    });
    return songs;
}

// The unread lines go last: a later version reads its own lines wherever they stand.
std::string FormatSongLibrary(const std::vector<SongEntry>& songs, const std::vector<std::string>& unread) {
    std::string text;
    for (const SongEntry& s : songs) {
        text += NameField(s.name) + '|' + UrlField(s.url) + '|' + FormatNumber(s.tone) + '|' + (s.favorite ? '1' : '0');
        if (!s.laterFields.empty()) text += '|' + CleanField(s.laterFields.substr(1), '\n');
        text += '\n';
    }
    for (const std::string& line : unread) text += line + '\n';
    return text;
}

void LoadSongLibrary() {
    const std::string text = LoadKeptFile(songLibraryFile, SongLibraryPath(), kMaxFileBytes);
    const bool none = songLibraryFile.read == FileRead::Absent || songLibraryFile.read == FileRead::Unreadable;
    songLibrary.songs = none ? DefaultSongs() : ParseSongLibrary(text, &songLibraryFile.unreadLines);
}

bool SaveSongLibrary() {
    return SaveKeptFile(songLibraryFile, SongLibraryPath(),
                        FormatSongLibrary(songLibrary.songs, songLibraryFile.unreadLines));
}

bool SongMatches(const SongEntry& song, std::string_view search) {
    if (search.empty()) return true;
    const std::string needle = LowerAscii(search);
    return LowerAscii(song.name).find(needle) != std::string::npos ||
           LowerAscii(song.url).find(needle) != std::string::npos;
}

bool AddSong(std::string_view name, std::string_view url, float tone) {
    if (name.empty()) return false;
    auto& songs = songLibrary.songs;
    songs.insert(songs.begin(), {NameField(name), UrlField(url), tone, false, ""});
    if (songs.size() > SongLibrary::maxSongs) songs.pop_back();
    SaveSongLibrary();
    return true;
}

bool ToggleSongFavorite(size_t index) {
    if (!Valid(index)) return false;
    songLibrary.songs[index].favorite = !songLibrary.songs[index].favorite;
    SaveSongLibrary();
    return true;
}

bool UpdateSongTone(size_t index, float tone) {
    if (!Valid(index)) return false;
    songLibrary.songs[index].tone = std::clamp(tone, -kToneLimit, kToneLimit);
    SaveSongLibrary();
    return true;
}

bool EditSong(size_t index, std::string_view name, std::string_view url) {
    if (!Valid(index) || name.empty()) return false;
    songLibrary.songs[index].name = NameField(name);
    songLibrary.songs[index].url = UrlField(url);
    SaveSongLibrary();
    return true;
}

bool DeleteSong(size_t index) {
    if (!Valid(index)) return false;
    songLibrary.songs.erase(songLibrary.songs.begin() + static_cast<std::ptrdiff_t>(index));
    SaveSongLibrary();
    return true;
}

float SongPlayTone(const SongEntry& song) {
    // A hand-edited file may hold anything; a non-number was already read as 0.
    return std::clamp(song.tone, -kToneLimit, kToneLimit);
}
