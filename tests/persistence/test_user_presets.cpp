// The singer's own presets as they meet them: what a typed name becomes,
// what "LƯU", "ĐỔI TÊN" and "XÓA" leave in the presets file and the config,
// what any presets file loads as, whatever the locale, and a failed write.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <clocale>
#include <locale>
#include <random>
#include <sstream>
#include <tuple>

#include "engine/engine_params.h"
#include "persistence/data_folder.h"
#include "persistence/user_presets.h"
#include "app/presets.h"
#include "engine/vocal_presets.h"
#include "tests/persistence/fresh_process.h"
#include "tests/app/stored_config.h"

namespace {
namespace fs = std::filesystem;

// Fields 2..17 of a line, plain and in range: a value out of its column shows.
const char* const kPlain[] = {"90", "10", "20", "30", "40", "5", "25", "20", "30", "70", "2", "1", "0", "1", "60", "15"};
// The same as a save writes them.
const char* const kPlainSaved =
    "|90.0000|10.0000|20.0000|30.0000|40.0000|5.0000|25.0000|20.0000|30.0000|70.0000|2|1|0|1|60.0000|15.0000\n";

// A line of `count` fields, field `at` (the name being field 1) set to `value`.
std::string Line(std::string name, size_t count = 17, size_t at = 0, std::string_view value = {}) {
    for (size_t i = 2; i <= count; ++i) name += "|" + std::string(i == at ? value : i <= 17 ? kPlain[i - 2] : "1");
    return name + "\n";
}

class UserPresetsFile : public FreshProcessTest {
protected:
    ShellState values;
    void Start() {
        StartFromStoredConfig(values);
        LoadUserPresets();
    }
    // Each value its own, so a field written in the wrong place shows.
    void SetSound() {
        engine.vocalVolume = 110.0f;
        engine.harmonyVolume = 40.0f;
        engine.tuneMode = 3;
        engine.fxEnabled = false;
        engine.tuneEnabled = true;
        engine.harmonyEnabled = true;
        values.sliders[Param::VocalBalance] = 70.0f, values.sliders[Param::VocalBody] = 61.5f, values.sliders[Param::VocalSmooth] = 52.0f, values.sliders[Param::VocalWarmth] = 33.0f;
        values.sliders[Param::VocalAir] = 6.25f, values.sliders[Param::Reverb] = 21.0f, values.sliders[Param::Echo] = 9.0f, values.sliders[Param::MasterGlue] = 20.0f;
        values.sliders[Param::VocalBodyPlus] = 47.0f, values.sliders[Param::VocalOpto2a] = 12.5f;
    }
    static const std::vector<UserPreset>& Loaded(const std::string& text) {
        WriteFile(UserPresetsPath(), text);
        LoadUserPresets();
        return userPresets;
    }
    static std::string Stored() { return ReadFile(UserPresetsPath()); }
};

TEST_F(UserPresetsFile, TypedNamesAreCleanedBeforeTheyAreKept) {
    if (!InFreshProcess()) return;
    Start();
    const std::string before = Line("Cũ");
    Loaded(before);
    for (const char* blank : {"", "   ", "|||", " |\t|\r\n "}) EXPECT_EQ(SaveCurrentAsUserPreset(blank, values), -1) << blank;
    EXPECT_EQ(Stored(), before);
    EXPECT_TRUE(userPresets.size() == 1 && values.userPreset == -1 && !fs::exists(ConfigPath()));
    ASSERT_EQ(SaveCurrentAsUserPreset("  a|b\t", values), 1);
    EXPECT_EQ(userPresets[1].name, "a b");
    EXPECT_EQ(CleanPresetName("x\x01y\x7fz\r"), "x y z") << "every control byte, so the name reads back as written";
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += static_cast<char>('a' + i % 26);
    ASSERT_EQ(SaveCurrentAsUserPreset(hundred, values), 2);
    EXPECT_EQ(userPresets[2].name, hundred.substr(0, 64));
    std::string wide;
    for (int i = 0; i < 30; ++i) wide += "Ấ";  // three bytes each
    ASSERT_EQ(SaveCurrentAsUserPreset(wide, values), 3);
    EXPECT_EQ(userPresets[3].name, wide.substr(0, 63)) << "21 whole letters";
    // A cut that ends in a space trims it, so the name still matches at the next start.
    ASSERT_EQ(SaveCurrentAsUserPreset(std::string(63, 'x') + " y", values), 4);
    EXPECT_EQ(userPresets[4].name, std::string(63, 'x'));
    LoadUserPresets();
    ASSERT_EQ(userPresets.size(), 5u);
    EXPECT_TRUE(userPresets[2].name == hundred.substr(0, 64) && userPresets[3].name == wide.substr(0, 63));
    EXPECT_EQ(FindUserPreset(appConfig.activeUserPreset), 4);
}

TEST_F(UserPresetsFile, SavingKeepsTheCurrentSoundAndMakesItActive) {
    if (!InFreshProcess()) return;
    Start();
    SetSound();
    ASSERT_EQ(SaveCurrentAsUserPreset("Bolero Hòa", values), 0);
    EXPECT_EQ(Stored(), "Bolero Hòa|110.0000|70.0000|61.5000|52.0000|33.0000|6.2500|21.0000|9.0000|40.0000|20.0000|"
                        "3|0|1|1|47.0000|12.5000\n");
    EXPECT_TRUE(values.userPreset == 0 && values.builtinPreset == kCustomPreset);
    AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 13 && stored.activeUserPreset == "Bolero Hòa");
    EXPECT_TRUE(stored.vocalVolume == 110.0f && stored.vocalBodyPlus == 47.0f && stored.tuneMode == 3 &&
                !stored.fxEnabled && stored.harmonyEnabled) << "the config holds the sound it names";
    // The same name again replaces the sound where it stands.
    ASSERT_EQ(SaveCurrentAsUserPreset("Khác", values), 1);
    engine.vocalVolume = 80.0f;
    values.sliders[Param::VocalAir] = 1.5f;
    ASSERT_EQ(SaveCurrentAsUserPreset(" Bolero Hòa ", values), 0);
    LoadUserPresets();
    ASSERT_EQ(userPresets.size(), 2u);
    EXPECT_TRUE(userPresets[0].name == "Bolero Hòa" && userPresets[0].values[Param::VocalVolume] == 80.0f && userPresets[0].values[Param::VocalAir] == 1.5f);
    EXPECT_EQ(userPresets[1].name, "Khác");
    EXPECT_EQ(values.userPreset, 0);
    const UserPreset& s = userPresets[1];
    EXPECT_TRUE(s.values[Param::VocalVolume] == 110.0f && s.values[Param::VocalBodyPlus] == 47.0f && s.values[Param::VocalOpto2a] == 12.5f && s.values[Param::HarmonyVolume] == 40.0f &&
                s.values[Param::MasterGlue] == 20.0f && s.values[Param::VocalAir] == 6.25f);
}

TEST_F(UserPresetsFile, RenameAndDeleteActOnTheActivePresetOnly) {
    if (!InFreshProcess()) return;
    Start();
    Loaded(Line("Một") + Line("Hai"));
    EXPECT_FALSE(RenameActiveUserPreset("x", values) || DeleteActiveUserPreset(values)) << "none is active";
    ASSERT_TRUE(ApplyUserPreset(1, values));
    EXPECT_TRUE(RenameActiveUserPreset(" Hai", values)) << "its own name";
    const std::string before = Stored();
    EXPECT_FALSE(RenameActiveUserPreset("Một", values));
    EXPECT_FALSE(RenameActiveUserPreset(" | ", values));
    EXPECT_TRUE(Stored() == before && userPresets[1].name == "Hai" && appConfig.activeUserPreset == "Hai");
    ASSERT_TRUE(RenameActiveUserPreset("Hai mới", values));
    EXPECT_EQ(Loaded(Stored())[1].name, "Hai mới");
    EXPECT_EQ(StoredConfig().activeUserPreset, "Hai mới");
    // Deleting it keeps the sound it brought; only the selection changes.
    const auto sound = [] {
        return std::make_tuple(engine.vocalVolume.load(), engine.harmonyVolume.load(), engine.bodyAmount.load(),
                               engine.optoAmount.load(), engine.airDb.load(), engine.echoLevel.load(),
                               engine.glueAmount.load(), engine.tuneMode.load(), engine.harmonyEnabled.load());
    };
    const auto engineBefore = sound();
    const float opto = values.sliders[Param::VocalOpto2a];
    ASSERT_TRUE(DeleteActiveUserPreset(values));
    EXPECT_TRUE(sound() == engineBefore && values.sliders[Param::VocalOpto2a] == opto);
    EXPECT_TRUE(values.userPreset == -1 && values.builtinPreset == 7);
    EXPECT_NE(ReadFile(ConfigPath()).find("\nvocal_preset=7\nactive_user_preset=\n"), std::string::npos);
    EXPECT_EQ(Stored(), std::string("Một") + kPlainSaved);
    EXPECT_FALSE(DeleteActiveUserPreset(values));
}

TEST_F(UserPresetsFile, TheActivePresetIsFoundAgainAtStartUp) {
    if (!InFreshProcess()) return;
    Loaded(Line("a") + Line("b"));
    WriteFile(ConfigPath(), "vocal_preset=13\nactive_user_preset=b\n");
    Start();
    ResolveActiveUserPreset(values);
    EXPECT_EQ(values.userPreset, 1);
    EXPECT_EQ(ReadFile(ConfigPath()), "vocal_preset=13\nactive_user_preset=b\n") << "nothing to repair";
    // Exact names: "B" is gone.
    WriteFile(ConfigPath(), "vocal_preset=13\nactive_user_preset=B\n");
    Start();
    ResolveActiveUserPreset(values);
    EXPECT_TRUE(values.userPreset == -1 && values.builtinPreset == 7 && appConfig.activeUserPreset.empty());
    const AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 7 && stored.activeUserPreset.empty());
    // None active: none found, and nothing saved.
    WriteFile(ConfigPath(), "vocal_preset=4\n");
    Start();
    values.userPreset = 0;
    ResolveActiveUserPreset(values);
    EXPECT_TRUE(values.userPreset == -1 && values.builtinPreset == 4);
    EXPECT_EQ(ReadFile(ConfigPath()), "vocal_preset=4\n");
}

TEST_F(UserPresetsFile, LinesOfEveryAgeLoadAndAreRewrittenWithAllFields) {
    if (!InFreshProcess()) return;
    EXPECT_TRUE(Loaded("").empty());
    fs::remove(UserPresetsPath());
    LoadUserPresets();
    EXPECT_TRUE(userPresets.empty());
    fs::create_directory(UserPresetsPath());  // a folder is no presets file
    LoadUserPresets();
    EXPECT_TRUE(userPresets.empty());
    fs::remove(UserPresetsPath());
    const std::string text = Line("cũ", 15) + Line("giữa", 16) + "\n" + Line("mới");
    const std::vector<UserPreset> p = Loaded(text);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_TRUE(p[0].values[Param::VocalBodyPlus] == 50.0f && p[0].values[Param::VocalOpto2a] == 0.0f && p[0].values[Param::HarmonyEnabled]);
    EXPECT_TRUE(p[1].values[Param::VocalBodyPlus] == 60.0f && p[1].values[Param::VocalOpto2a] == 0.0f);
    EXPECT_TRUE(p[2] == (MakePreset("mới", {{Param::VocalVolume, 90}, {Param::VocalBalance, 10}, {Param::VocalBody, 20}, {Param::VocalSmooth, 30}, {Param::VocalWarmth, 40}, {Param::VocalBodyPlus, 60}, {Param::VocalOpto2a, 15}, {Param::VocalAir, 5}, {Param::Reverb, 25}, {Param::Echo, 20}, {Param::HarmonyVolume, 30}, {Param::MasterGlue, 70}, {Param::TuneMode, 2}, {Param::FxEnabled, true}, {Param::TuneEnabled, false}, {Param::HarmonyEnabled, true}})));
    std::string crlf = text;
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.insert(at, "\r");
    crlf.pop_back(), crlf.pop_back();  // and no line feed at the end
    EXPECT_TRUE(Loaded(crlf) == p);
    ASSERT_TRUE(SaveUserPresets());
    const std::string saved = Stored();
    EXPECT_TRUE(saved.starts_with("cũ|90.0000|10.0000|20.0000|30.0000|40.0000|5.0000|25.0000|20.0000|30.0000|"
                                  "70.0000|2|1|0|1|50.0000|0.0000\ngiữa|")) << saved;
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '|'), 3 * 16);
}

TEST_F(UserPresetsFile, UnreadableLinesVanishAndTheFirstOfANameWins) {
    if (!InFreshProcess()) return;
    const std::vector<UserPreset> p = Loaded(
        Line("x", 14) + Line("eighteen", 18) + Line("letters", 17, 2, "loud") + Line("nan", 17, 5, "nan") +
        Line("inf", 17, 9, "inf") + Line("-inf", 17, 17, "-inf") + Line("huge", 17, 4, "1e39") +
        Line("int", 17, 12, "2147483648") + Line("bool", 17, 13, "yes") + Line("empty", 17, 3, "") + Line(" \t ") +
        Line("x") + Line("suffix", 17, 2, " +97.5dB") + Line("style", 17, 12, "2.9") + Line("Hòa", 17, 2, "80") +
        Line("Hòa", 17, 2, "120") + Line("  Hòa\r", 17, 2, "130") + Line("HÒA"));
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0].name, "x") << "a dropped line does not take the name";
    EXPECT_EQ(p[1].values[Param::VocalVolume], 97.5f);
    EXPECT_EQ(p[2].values[Param::TuneMode], 2);
    EXPECT_TRUE(p[3].name == "Hòa" && p[3].values[Param::VocalVolume] == 80.0f);
    EXPECT_EQ(p[4].name, "HÒA");
    ASSERT_TRUE(SaveUserPresets());
    const std::string saved = Stored();
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 5) << "the dropped lines are gone from the file";
}

TEST_F(UserPresetsFile, ValuesOutOfRangeAreClamped) {
    if (!InFreshProcess()) return;
    const std::tuple<size_t, Param, float, float> floats[] = {
        {2, Param::VocalVolume, 0, 150}, {3, Param::VocalBalance, 0, 100},   {4, Param::VocalBody, 0, 100},
        {5, Param::VocalSmooth, 0, 100},      {6, Param::VocalWarmth, 0, 100},    {7, Param::VocalAir, 0, 10},
        {8, Param::Reverb, 0, 50},       {9, Param::Echo, 0, 40},       {10, Param::HarmonyVolume, 8, 45},
        {11, Param::MasterGlue, 0, 100}, {16, Param::VocalBodyPlus, 0, 100}, {17, Param::VocalOpto2a, 0, 100}};
    for (const auto& [at, field, lo, hi] : floats) {
        const std::vector<UserPreset> p = Loaded(Line("low", 17, at, "-1000") + Line("high", 17, at, "1000"));
        ASSERT_EQ(p.size(), 2u);
        EXPECT_TRUE(p[0].values[field] == lo && p[1].values[field] == hi) << "field " << at;
    }
    const std::vector<UserPreset> p = Loaded(Line("200", 17, 2, "200") + Line("0", 17, 10, "0") +
                                             Line("7", 17, 12, "7") + Line("style 0", 17, 12, "0") +
                                             Line("bools", 17, 13, "-7"));
    ASSERT_EQ(p.size(), 5u);
    EXPECT_TRUE(p[0].values[Param::VocalVolume] == 150.0f && p[1].values[Param::HarmonyVolume] == 8.0f);
    EXPECT_TRUE(p[2].values[Param::TuneMode] == 3 && p[3].values[Param::TuneMode] == 1 && p[4].values[Param::FxEnabled]);
}

TEST_F(UserPresetsFile, HostileNamesAndManyValuesReadBackAsWritten) {
    if (!InFreshProcess()) return;
    std::mt19937 rng(7);
    // Four decimals, as the file keeps them.
    const auto pick = [&](float lo, float hi) {
        const int steps = std::uniform_int_distribution<int>(0, static_cast<int>((hi - lo) * 1e4f))(rng);
        return static_cast<float>(lo + steps / 1e4);
    };
    const std::string names[] = {"a|b|c", "\r\nx\r", "tab\there", "Giọng Nam ẤM", "\x1b[31mred", std::string("n\0l", 3),
                                 "\xff\xfe bytes", "=|=", "1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17", "  padded  "};
    userPresets.clear();
    for (const std::string& name : names) {
        userPresets.push_back(MakePreset(CleanPresetName(name), {{Param::VocalVolume, pick(0, 150)}, {Param::VocalBalance, pick(0, 100)}, {Param::VocalBody, pick(0, 100)}, {Param::VocalSmooth, pick(0, 100)}, {Param::VocalWarmth, pick(0, 100)}, {Param::VocalBodyPlus, pick(0, 100)}, {Param::VocalOpto2a, pick(0, 100)}, {Param::VocalAir, pick(0, 10)}, {Param::Reverb, pick(0, 50)}, {Param::Echo, pick(0, 40)}, {Param::HarmonyVolume, pick(8, 45)}, {Param::MasterGlue, pick(0, 100)}, {Param::TuneMode, static_cast<int32_t>(rng() % 3 + 1)}, {Param::FxEnabled, rng() % 2 == 0}, {Param::TuneEnabled, rng() % 2 == 0}, {Param::HarmonyEnabled, rng() % 2 == 0}}));
    }
    const std::vector<UserPreset> written = userPresets;
    ASSERT_TRUE(SaveUserPresets());
    const std::string text = Stored();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
    EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 10 * 16);
    EXPECT_TRUE(Loaded(text) == written) << text;
    EXPECT_EQ(FormatUserPresets(userPresets), text);
}

// A decimal comma, as the Vietnamese locale has, for C++ streams and the C library alike.
struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST_F(UserPresetsFile, NumbersStayClassicUnderADecimalCommaLocale) {
    if (!InFreshProcess()) return;
    std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    ASSERT_NE(std::setlocale(LC_ALL, "vi_VN.UTF-8"), nullptr) << "scripts/install_deps.sh generates it";
    ASSERT_TRUE((std::ostringstream() << 2.8).str() == "2,8" && std::strtod("2.8", nullptr) == 2.0);
    Start();
    ASSERT_EQ(SaveCurrentAsUserPreset("Mặc định", values), 0);
    EXPECT_EQ(Stored(), "Mặc định|100.0000|55.0000|55.0000|50.0000|45.0000|2.8000|18.0000|12.0000|24.0000|60.0000|"
                        "1|1|1|0|38.0000|0.0000\n");
    const std::vector<UserPreset> p = Loaded(Line("a", 17, 7, "7.25") + Line("b", 17, 8, "12,5"));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].values[Param::VocalAir], 7.25f);
    EXPECT_EQ(p[1].values[Param::Reverb], 12.0f) << "a comma ends the number";
}

TEST_F(UserPresetsFile, AFailedSaveKeepsThePreviousFile) {
    if (!InFreshProcess()) return;
    Start();
    ASSERT_EQ(SaveCurrentAsUserPreset("Một", values), 0);
    const std::string before = Stored();
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{before.size(), before.size()};  // bytes a file may grow to: one preset, not two
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_EQ(SaveCurrentAsUserPreset("Hai", values), 1) << "the list in memory still changes";
    EXPECT_FALSE(SaveUserPresets());
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(userPresets.size(), 2u);
}
}  // namespace
