// The song library as the singer meets it: what a file on disk becomes, what
// each panel operation leaves in the file, and the search.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

// Each test in its own data folder, from an empty list.
class SongLibraryFile : public FreshProcessTest {
protected:

    static void Store(const std::string& text) { ASSERT_TRUE(WriteFileAtomically(SongLibraryPath(), text)); }
    static std::string Stored() {
        std::string text;
        EXPECT_TRUE(ReadTextFile(SongLibraryPath(), text, 1 << 20));
        return text;
    }
    // What the next start would see.
    static std::vector<SongEntry> Reloaded() {
        LoadSongLibrary();
        return songLibrary.songs;
    }
};

TEST_F(SongLibraryFile, NoFileGivesTheThreeDefaultSongsAndAnEmptyFileNone) {
    if (!InFreshProcess()) return;
    const std::vector<SongEntry> defaults = Reloaded();
    ASSERT_EQ(defaults.size(), 3u);
    EXPECT_EQ(defaults[0].name, "Mot coi di ve");
    EXPECT_FLOAT_EQ(defaults[0].tone, -2.0f);
    EXPECT_TRUE(defaults[0].favorite && !defaults[1].favorite && defaults[2].favorite);
    EXPECT_FALSE(fs::exists(SongLibraryPath())) << "nothing is written until a change";
    Store("");
    EXPECT_TRUE(Reloaded().empty());
    fs::remove(SongLibraryPath());
    fs::create_directories(SongLibraryPath());  // a folder is no library
    EXPECT_EQ(Reloaded().size(), 3u);
    fs::remove(SongLibraryPath());
}

TEST_F(SongLibraryFile, LinesAreReadAsTheyWereMeant) {
    if (!InFreshProcess()) return;
    Store("Ba|u|1.5|1\r\n"
          "three|fields|0\n"
          "\n"
          "five|x|-2|1|extra\n"
          "word|x|2|true\n"
          "padded|x|01|01\n"
          "notone|x|loud|1\n"
          "nan|x|nan|1\n"
          "comma|x|2,5|0");
    const std::vector<SongEntry> s = Reloaded();
    ASSERT_EQ(s.size(), 7u);
    EXPECT_EQ(s[0].name, "Ba");
    EXPECT_FLOAT_EQ(s[0].tone, 1.5f);
    EXPECT_TRUE(s[0].favorite);
    EXPECT_EQ(s[1].name, "five");
    EXPECT_FLOAT_EQ(s[1].tone, -2.0f);
    EXPECT_TRUE(s[1].favorite);
    EXPECT_FALSE(s[2].favorite);  // "true" is not "1"
    EXPECT_FALSE(s[3].favorite);  // nor is "01"
    EXPECT_FLOAT_EQ(s[3].tone, 1.0f);
    EXPECT_FLOAT_EQ(s[4].tone, 0.0f);  // no number
    EXPECT_FLOAT_EQ(s[5].tone, 0.0f);  // not a finite number
    EXPECT_FLOAT_EQ(s[6].tone, 2.0f);  // the numeric prefix
}

TEST_F(SongLibraryFile, EveryEntryReadsBackAsWritten) {
    if (!InFreshProcess()) return;
    // Vietnamese titles, a '|' and a line feed typed into the fields.
    ASSERT_TRUE(AddSong("Hạ trắng", "https://youtu.be/x?a=1|b", -1.5f));
    ASSERT_TRUE(AddSong("Tình ca | bolero\nnew", "", 2.0f));
    EXPECT_EQ(Stored(), "Tình ca   bolero new||2|0\nHạ trắng|https://youtu.be/x?a=1 b|-1.5|0\n");
    const std::vector<SongEntry> before = songLibrary.songs;
    const std::vector<SongEntry> after = Reloaded();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].url, before[i].url);
        EXPECT_FLOAT_EQ(after[i].tone, before[i].tone);
    }
}

TEST_F(SongLibraryFile, LongTitlesAreCutBetweenCharacters) {
    if (!InFreshProcess()) return;
    std::string title;
    while (title.size() < 200) title += "Đ";  // two bytes each
    ASSERT_TRUE(AddSong("x" + title, std::string(300, 'u'), 0.0f));
    const SongEntry s = songLibrary.songs[0];  // a copy: the reload replaces the list
    EXPECT_EQ(s.name.size(), 127u);  // "x" and 63 whole letters
    EXPECT_EQ(s.name.substr(1, 4), "ĐĐ");
    EXPECT_EQ(s.url.size(), 255u);
    EXPECT_EQ(Reloaded()[0].name, s.name);
}

TEST_F(SongLibraryFile, TheListKeepsTheNewestHundred) {
    if (!InFreshProcess()) return;
    for (int i = 0; i < 101; ++i) ASSERT_TRUE(AddSong("song " + std::to_string(i), "", 0.0f));
    EXPECT_FALSE(AddSong("", "link only", 0.0f));
    const std::vector<SongEntry> s = Reloaded();
    ASSERT_EQ(s.size(), 100u);
    EXPECT_EQ(s.front().name, "song 100");
    EXPECT_EQ(s.back().name, "song 1");  // the oldest went
}

TEST_F(SongLibraryFile, EditsFavouritesTonesAndDeletesAreSaved) {
    if (!InFreshProcess()) return;
    AddSong("a", "", 0.0f);
    AddSong("b", "", 0.0f);
    EXPECT_TRUE(ToggleSongFavorite(1));
    EXPECT_TRUE(UpdateSongTone(0, 5.0f));
    EXPECT_TRUE(EditSong(1, "A mới", "https://example.org"));
    EXPECT_FALSE(EditSong(0, "", "x"));  // an empty name changes nothing
    EXPECT_FALSE(ToggleSongFavorite(2));
    EXPECT_FALSE(DeleteSong(7));
    std::vector<SongEntry> s = Reloaded();
    EXPECT_FLOAT_EQ(s[0].tone, 3.0f);  // "TONE" stores at most +3
    EXPECT_EQ(s[1].name, "A mới");
    EXPECT_TRUE(s[1].favorite);
    EXPECT_TRUE(DeleteSong(0));
    s = Reloaded();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].name, "A mới");
    // A hand-edited tone plays within the shifter's range.
    EXPECT_FLOAT_EQ(SongPlayTone({"x", "", 5.0f, false}), 3.0f);
    EXPECT_FLOAT_EQ(SongPlayTone({"x", "", -9.0f, false}), -3.0f);
}

TEST(SongSearch, MatchesNameOrLinkIgnoringAsciiCase) {
    const SongEntry song{"Mưa trên biển vắng", "https://youtu.be/AbC", 0.0f, false};
    EXPECT_TRUE(SongMatches(song, ""));
    EXPECT_TRUE(SongMatches(song, "BIển"));  // the ASCII letters fold, the rest compare as bytes
    EXPECT_TRUE(SongMatches(song, "youtu.be/abc"));
    EXPECT_FALSE(SongMatches(song, "MƯA TRÊN"));  // "Ư" is not "ư"
    EXPECT_FALSE(SongMatches(song, "karaoke"));
}
}  // namespace
