// Names of takes: whatever the user types, the file lands in the chosen
// folder under a name every file system accepts.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "recording/record_name.h"

namespace {
const LocalTime kEvening{2026, 1, 5, 20, 30, 15};

TEST(SanitizeRecordName, KeepsTheNameAndMakesEverySeparatorSafe) {
    EXPECT_EQ(SanitizeRecordName("AC/DC: Live?"), "AC_DC_ Live_");
    EXPECT_EQ(SanitizeRecordName("a\\b:c*d?e\"f<g>h|i/j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(SanitizeRecordName("Line\nbreak\tand\x1b" "esc"), "Linebreakandesc");
    EXPECT_EQ(SanitizeRecordName("Bài hát của tôi"), "Bài hát của tôi");
    EXPECT_EQ(SanitizeRecordName("Song. . ."), "Song");
    EXPECT_EQ(SanitizeRecordName(" . .. "), "Sonavela");
    EXPECT_EQ(SanitizeRecordName(".."), "Sonavela");
    EXPECT_EQ(SanitizeRecordName(""), "Sonavela");
    EXPECT_EQ(SanitizeRecordName("\x01\x02"), "Sonavela");
    EXPECT_EQ(SanitizeRecordName("../../etc/passwd"), ".._.._etc_passwd");
}

TEST(RecordFileName, CarriesTheModeTheTimeAndTheCounter) {
    EXPECT_EQ(RecordFileName("Sonavela", 0, kEvening, 1), "Sonavela_Mix_20260105_203015.wav");
    EXPECT_EQ(RecordFileName("Sonavela", 1, kEvening, 1), "Sonavela_Vocal_20260105_203015.wav");
    EXPECT_EQ(RecordFileName("Sonavela", 0, kEvening, 2), "Sonavela_Mix_20260105_203015_2.wav");
    EXPECT_EQ(RecordFileName("  ..  ", 0, kEvening, 1), "Sonavela_Mix_20260105_203015.wav");
    EXPECT_EQ(RecordFileName("AC/DC: Live?", 0, kEvening, 1), "AC_DC_ Live__Mix_20260105_203015.wav");
}

TEST(RecordFileName, CutsALongNameBetweenCharactersAndKeepsTheEnding) {
    std::string vietnamese;
    for (int i = 0; i < 200; ++i) vietnamese += "ộ";  // three bytes each
    const std::string name = RecordFileName(vietnamese, 1, kEvening, 9999);
    EXPECT_LE(name.size(), 255u);
    const std::string ending = "_Vocal_20260105_203015_9999.wav";
    ASSERT_GT(name.size(), ending.size());
    EXPECT_EQ(name.substr(name.size() - ending.size()), ending);
    const std::string kept = name.substr(0, name.size() - ending.size());
    EXPECT_EQ(kept.size() % 3, 0u);
    EXPECT_EQ(kept.rfind("ộ"), kept.size() - 3);

    // Cut just before trailing dots and spaces, which are then dropped.
    const std::string dotted = std::string(199, 'x') + " ." + "tail";
    EXPECT_EQ(RecordFileName(dotted, 0, kEvening, 1), std::string(199, 'x') + "_Mix_20260105_203015.wav");
}

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > s.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        }
        i += length;
    }
    return true;
}

TEST(RecordFileName, HostileNamesStayOneFileInTheChosenFolder) {
    const std::string pieces[] = {"/", "\\", "..", ".", " ", ":", std::string(1, '\0'), "\x1f", "\n", "a", "ộ", "é",
                                  "~", "$HOME", "%s", "\xff", "C:", "*", "?", "|", std::string(60, 'n')};
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        std::string name;
        bool utf8Pieces = true;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            const std::string& piece = pieces[random() % std::size(pieces)];
            utf8Pieces = utf8Pieces && piece != "\xff";
            name += piece;
        }
        const std::string file = RecordFileName(name, static_cast<int32_t>(random() % 2), kEvening, 1 + random() % 3);
        SCOPED_TRACE(name);
        EXPECT_EQ(file.find('/'), std::string::npos);
        EXPECT_EQ(file.find('\\'), std::string::npos);
        EXPECT_EQ(file.find('\0'), std::string::npos);
        EXPECT_LE(file.size(), 255u);
        EXPECT_NE(file.find("_20260105_203015"), std::string::npos);
        EXPECT_EQ(file.substr(file.size() - 4), ".wav");
        for (const char c : file) EXPECT_GE(static_cast<unsigned char>(c), 32u);
        if (utf8Pieces) {
            EXPECT_TRUE(IsValidUtf8(file));
        }
        EXPECT_EQ(JoinRecordPath("/home/singer/Takes", file), "/home/singer/Takes/" + file);
    }
}

TEST(JoinRecordPath, AddsASeparatorOnlyWhenTheFolderHasNone) {
    EXPECT_EQ(JoinRecordPath("/music", "a.wav"), "/music/a.wav");
    EXPECT_EQ(JoinRecordPath("/music/", "a.wav"), "/music/a.wav");
    EXPECT_EQ(JoinRecordPath("D:\\Takes\\", "a.wav"), "D:\\Takes\\a.wav");
    EXPECT_EQ(JoinRecordPath(".", "a.wav"), "./a.wav");
}
}  // namespace
