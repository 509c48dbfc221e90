// The singer's own presets: what a typed name becomes, what any presets file
// loads as, and what a save writes.

#include <gtest/gtest.h>

#include "persistence/user_presets.h"

namespace {
// The columns after the name, in file order, and plain values for them.
const Param kColumns[] = {Param::VocalVolume,   Param::VocalBalance,   Param::VocalBody,     Param::VocalSmooth,
                          Param::VocalWarmth,   Param::VocalAir,       Param::Reverb,        Param::Echo,
                          Param::HarmonyVolume, Param::MasterGlue,     Param::TuneMode,      Param::FxEnabled,
                          Param::TuneEnabled,   Param::HarmonyEnabled, Param::VocalBodyPlus, Param::VocalOpto2a};
const float kPlain[] = {90, 10, 20, 30, 40, 5, 25, 20, 30, 70, 2, 1, 0, 1, 60, 15};

// A line of `count` fields, field `at` (the name being field 1) set to `value`.
std::string Line(std::string name, size_t count = 17, size_t at = 0, std::string_view value = {}) {
    for (size_t i = 2; i <= count; ++i)
        name += "|" + (i == at ? std::string(value) : std::to_string(i <= 17 ? int(kPlain[i - 2]) : 1));
    return name + "\n";
}

TEST(UserPresetsText, TypedNamesAreCleaned) {
    const std::string hundred(100, 'a');
    std::string wide;
    for (int i = 0; i < 30; ++i) wide += "Ấ";  // three bytes each
    const std::pair<std::string, std::string> cases[] = {
        {" |\t|\r\n ", ""},         {"  a|b\t", "a b"},
        {"x\x01y\x7fz\r", "x y z"}, {hundred, hundred.substr(0, 64)},
        {wide, wide.substr(0, 63)}, {std::string(63, 'x') + " y", std::string(63, 'x')}};  // no space left by the cut
    for (const auto& [typed, kept] : cases) EXPECT_EQ(CleanPresetName(typed), kept) << typed;
}

TEST(UserPresetsText, LinesOfEveryAgeLoadUnreadableOnesAreKeptAsTheyWereAndAnyValuesReadBack) {
    std::string text = Line("x", 14) + Line("x", 18) + Line(" \t ") + "\n";
    const std::pair<size_t, const char*> unreadable[] = {{2, "loud"}, {5, "nan"},         {9, "inf"},  {17, "-inf"},
                                                         {4, "1e39"}, {12, "2147483648"}, {13, "yes"}, {3, ""}};
    for (const auto& [at, bad] : unreadable) text += Line("x", 17, at, bad);
    text += Line("x") + Line("cũ", 15) + Line("giữa", 16) + Line("suffix", 17, 2, " +97.5dB") +
            Line("style", 17, 12, "2.9") + Line("  x\r", 17, 2, "80") + Line("X");
    std::vector<std::string> unread;
    const std::vector<UserPreset> p = ParseUserPresets(text, &unread);
    ASSERT_EQ(p.size(), 6u);
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(p[0].values[kColumns[i]], kPlain[i]) << "column " << i + 2;
    EXPECT_TRUE(p[0].name == "x" && p[5].name == "X") << "a dropped line takes no name, the first one wins";
    EXPECT_TRUE(p[1].values[Param::VocalBodyPlus] == 50.0f && p[1].values[Param::VocalOpto2a] == 0.0f &&
                p[1].values[Param::HarmonyEnabled]);
    EXPECT_TRUE(p[2].values[Param::VocalBodyPlus] == 60.0f && p[2].values[Param::VocalOpto2a] == 0.0f);
    EXPECT_TRUE(p[3].values[Param::VocalVolume] == 97.5f && p[4].values[Param::TuneMode] == 2);
    ASSERT_EQ(unread.size(), 12u) << "every line but the empty one and the loaded ones";
    for (size_t i = 0; i < 16; ++i) {
        const ParamSpec& s = Spec(kColumns[i]);
        const std::vector<UserPreset> c =
            ParseUserPresets(Line("lo", 17, i + 2, "-1000") + Line("hi", 17, i + 2, "1000"));
        const bool on = s.kind == ParamKind::Switch;
        EXPECT_TRUE(c.size() == 2 && c[0].values[s.id] == (on ? 1 : s.lo) && c[1].values[s.id] == (on ? 1 : s.hi))
            << i + 2;
    }
    UserPreset odd{"1|2\r\n\x1b[31m Nam ẤM"};  // a name that is no name; four decimals, as the file keeps them
    for (size_t i = 0; i < 16; ++i) {
        const ParamSpec& s = Spec(kColumns[i]);
        odd.values[s.id] = s.kind == ParamKind::Level ? static_cast<float>(s.lo + (i + 1) * 0.5432) : s.hi - i % 2;
    }
    const std::vector<UserPreset> back = ParseUserPresets(FormatUserPresets({odd}));
    EXPECT_TRUE(back.size() == 1 && back[0].name == "1 2   [31m Nam ẤM" && back[0].values == odd.values)
        << FormatUserPresets({odd});
}
}  // namespace
