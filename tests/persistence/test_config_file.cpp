// The config file: what each line becomes, when the user is told of a repair, and what a save leaves on disk
// whatever the values, the locale or the disk; what a typed preset name becomes, what any presets file loads as.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstddef>
#include <functional>
#include <locale>
#include <sstream>

#include "engine/engine_params.h"
#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/user_presets.h"
#include "tests/persistence/config_in_range.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

struct ConfigFile : FreshProcessTest {
    static const AppConfig& Loaded(const std::string& text) {
        WriteFile(ConfigPath(), text);
        LoadConfig();
        return appConfig;
    }
    static std::string Saved() {
        EXPECT_TRUE(SaveConfig());
        return ReadFile(ConfigPath());
    }
};

TEST_F(ConfigFile, EachLineIsReadByTheRuleOfItsKeyAndAnUnreadableOneIsKeptAsideAndTold) {
    if (!InFreshProcess()) return;
    using C = AppConfig&;
    const std::tuple<const char*, std::function<void(C)>, bool> cases[] = {
        // file, change from the defaults, recovered
        {"vocal_volume=3.4028234663852886e38\nmaster_output_db=-20\nharmony_volume=0",  // the largest float
         [](C c) { c.vocalVolume = 150, c.masterOutputDb = -6, c.harmonyVolume = 8; }, false},
        {"setup_version=0\ntune_mode=9\nstudio_mode=5\nvocal_preset=14",
         [](C c) { c.setupVersion = 1, c.tuneMode = 3, c.studioMode = 1, c.vocalPreset = 13; }, false},
        {"tune_mode=0\nasio_buffer_frames=1024\nletters=5\nvocal_volume = 5\nVocal_Volume=5",
         [](C c) { c.unknownLines = "letters=5\nvocal_volume = 5\nVocal_Volume=5\n"; }, false},  // kept for the save
        {"asio_buffer_frames=256\r\nreverb=12.5dB\r\n\r\nmic_channel=2.9\nvocal_air=  +7",
         [](C c) { c.asioBufferFrames = 256, c.reverb = 12.5f, c.micChannel = 2, c.vocalAir = 7; }, false},
        {"record_folder=/x=y \nrecord_name=Ca\r\r", [](C c) { c.recordFolder = "/x=y ", c.recordName = "Ca "; }, false},
        {"record_folder=Sonavela\x1dRecordings\nrecord_name=\nmini_output_id=a\tb", [](C c) { c.miniOutputId = "a b"; },
         false},
        {"harmony_enabled=7\nui_latency_open=-1\nfx_enabled=0",
         [](C c) { c.harmonyEnabled = c.uiLatencyOpen = true, c.fxEnabled = false; }, false},
        {"asio_buffer_frames=64\nasio_buffer_frames=fast\ntune_mode=3\ntune_mode=x\nfx_enabled=on", [](C) {}, true},
        {"mic_channel=0\nmic_channel=x\nvocal_air=5\nvocal_air=", [](C c) { c.micChannel = 0, c.vocalAir = 5; }, true},
        {"vocal_volume=10\nvocal_volume=20\nreve", [](C c) { c.vocalVolume = 20; }, true},
        {"echo=.5\nbeat_volume=-.5\nvocal_body=-0", [](C c) { c.echo = 0.5f, c.beatVolume = 0, c.vocalBody = 0; },
         false},
    };
    for (const auto& [text, change, recovered] : cases) {
        AppConfig expected = DefaultAppConfig();
        change(expected);
        EXPECT_TRUE(Loaded(text) == expected && configRecovered == recovered) << text << "\nloaded as:\n"
                                                                              << WriteConfigText(appConfig);
    }
    for (const char* bad : {"letters", "vocal_body=", "vocal_air=nan", "echo=-inf", "beat_volume=1e39", "echo=1e999",
                            "reverb=+", "setup_version=2147483648", "vocal_volume=x2"}) {
        EXPECT_TRUE(Loaded(bad) == DefaultAppConfig() && configRecovered) << bad;
    }
    std::istringstream keys(WriteConfigText(DefaultAppConfig()));  // every key clamps whatever it holds
    for (std::string line; std::getline(keys, line);) {
        for (const char* value :
             {"nan", "-inf", "1e39", "-1e30", "1e30", "2147483648", "-2147483649", "9999", "-9999", "64.9", " +-5"}) {
            const std::string text = line.substr(0, line.find('=') + 1) + value;
            EXPECT_TRUE(ConfigInRange(Loaded(text)) && engine.micChannelMode >= 0 && engine.micChannelMode <= 2)
                << text;
        }
    }
    const std::string bad = "vocal_body=\nreverb=7\r\nmic_channel=2\nstudio_mode=1";
    EXPECT_EQ(Loaded(bad).reverb, 7.0f);
    const std::string name = fs::path(configFile.backup).filename().string();
    EXPECT_TRUE(name.starts_with("sonavela_config.txt.recovered.") && recoveryNotice.find(name) != std::string::npos)
        << "kept aside, and the user told where";
    EXPECT_TRUE(ReadFile(configFile.backup) == bad && ReadFile(ConfigPath()) == bad) << "the file not rewritten";
    EXPECT_TRUE(engine.micChannelMode == 2 && engine.studioMode == 1) << "the engine starts with them";
}

// A decimal comma, as the Vietnamese locale has, for C++ streams and the C library alike.
struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST_F(ConfigFile, EverySavedValueReadsBackUnderADecimalCommaAndTextInjectsNothing) {
    if (!InFreshProcess()) return;
    std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    ASSERT_NE(std::setlocale(LC_ALL, "vi_VN.UTF-8"), nullptr) << "scripts/install_deps.sh generates it";
    EXPECT_EQ(Loaded("reverb=12,5\n").reverb, 12.0f) << "a comma ends the number";
    const std::string t[] = {"{0.0.0.00000000}.{a1}", "alsa_input.usb", "/nhạc/thu âm", "Ca sĩ", "Ấm",
                             "Focusrite USB ASIO"};
    const std::string later = "later_key=3\nlater_text=a=b\n";
    // Every field in order, none at its default, so a field added without a key fails: before unknownLines the
    // values shift onto fields of other types (no compile) or it does not read back; after it, the assertion.
    static_assert(offsetof(AppConfig, unknownLines) + sizeof(std::string) == sizeof(AppConfig));
    const AppConfig all{0,  150,   0.5f, 12.345f, 99.9f, 1,     2,    3, 9.5f, 50,  40,   8,    100,
                        0,  -1.5f, true, false,   3,     false, t[0], 1, t[1], 2,   t[2], t[3], 1,
                        13, t[4],  true, true,    true,  false, true, 2, t[5], 512, 1,    later};
    appConfig = all;
    appConfig.micChannel = 2;
    engine.micChannelMode = 0;  // the live channel is what is kept
    EXPECT_TRUE(Loaded(Saved()) == all) << WriteConfigText(appConfig);
    engine.micChannelMode = 1;
    const std::string hostile = std::string("a\nvocal_volume=0\r\nb\0c\x1b=\xff ", 20) + "Giọng\r";
    const std::string asWritten = std::string("a vocal_volume=0  b c =\xff ", 20) + "Giọng ";
    for (std::string AppConfig::*field :
         {&AppConfig::miniOutputId, &AppConfig::wasapiMicInputId, &AppConfig::recordFolder, &AppConfig::recordName,
          &AppConfig::activeUserPreset, &AppConfig::asioDeviceName}) {
        AppConfig expected = appConfig = DefaultAppConfig();
        appConfig.*field = hostile;
        expected.*field = asWritten;
        const std::string saved = Saved();
        EXPECT_TRUE(Loaded(saved) == expected && !configRecovered && Saved() == saved) << WriteConfigText(appConfig);
    }
}

TEST_F(ConfigFile, SavesAreAtomicAndAFailedOneKeepsThePreviousFile) {
    if (!InFreshProcess()) return;
    const std::string path = (root / "work/atomic").string();
    const std::string a = std::string(300000, 'a') + "\nend\n", b = std::string(200000, 'b') + "\nend\n";
    std::string now;
    ASSERT_TRUE(WriteFileAtomically(path, "") && ReadTextFile(path, now, 10) == FileRead::Whole && now.empty() &&
                WriteFileAtomically(path, a));
    for (int round = 0; round < 40; ++round) {  // killed at any moment, the file is a whole version
        const pid_t child = fork();
        if (child == 0)
            for (int i = 0;; ++i) WriteFileAtomically(path, i % 2 ? a : b);
        usleep(round * 731);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_TRUE(ReadTextFile(path, now, 1 << 20) == FileRead::Whole && (now == a || now == b))
            << round << ": " << now.size();
    }
    EXPECT_TRUE(WriteFileAtomically(path, b) && !fs::exists(path + ".partial"));
}

// With the saver running a save returns at once, even one the disk refuses: the refusal is told once, and the
// refused copy is written by the next try. The saver writes unasked; after its stop saves tell their outcome again.
TEST_F(ConfigFile, TheSaverWritesOffTheCallersThreadTellsARefusalOnceAndKeepsTheRefusedCopyForTheNextTry) {
    if (!InFreshProcess()) return;
    fs::create_directory(ConfigPath());  // where the file goes: every write is refused
    testing::internal::CaptureStdout();
    for (int round = 0; round < 2; ++round) {
        StartConfigSaver();
        for (int i = 1; i <= 100; ++i) {
            appConfig.vocalVolume = 150.0f - static_cast<float>(i);
            ASSERT_TRUE(SaveConfig()) << "handed over, not written";
        }
        StopConfigSaver();  // writes what is pending: refused again
    }
    const std::string told = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(told.find("[WARN]") != std::string::npos && told.find("[WARN]") == told.rfind("[WARN]")) << told;
    fs::remove(ConfigPath());
    StartConfigSaver(), StopConfigSaver();
    AppConfig stored;
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored) && stored.vocalVolume == 50.0f);
    StartConfigSaver();
    appConfig.vocalBody = 7.0f;
    SaveConfig();
    std::string text;
    for (int i = 0; i < 500 && text.find("\nvocal_body=7\n") == std::string::npos; ++i) {
        usleep(10000), text = ReadFile(ConfigPath());
    }
    EXPECT_NE(text.find("\nvocal_body=7\n"), std::string::npos) << "written without a stop";
    StopConfigSaver();
    fs::remove(ConfigPath()), fs::create_directory(ConfigPath());
    EXPECT_FALSE(SaveConfig()) << "the caller's own write again";
}

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

TEST(UserPresetsText, NamesAreCleanedCutAndNeverSplitALine) {
    const std::string hundred(100, 'a'), x63(63, 'x');  // x63 + " y": no space left by the cut
    std::string wide;
    for (int i = 0; i < 30; ++i) wide += "Ấ";  // three bytes each
    const std::pair<std::string, std::string> cases[] = {
        {" |\t|\r\n ", ""}, {hundred, hundred.substr(0, 64)}, {wide, wide.substr(0, 63)}, {x63 + " y", x63}};
    for (const auto& [typed, kept] : cases) EXPECT_EQ(CleanPresetName(typed), kept) << typed;
    // Cleaned again on a save, whoever set it.
    EXPECT_TRUE(FormatUserPresets({UserPreset{"\t1|2\r\n\x1b[31m\x7f Nam\r"}}).starts_with("1 2   [31m  Nam|"));
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
        const auto c = ParseUserPresets(Line("lo", 17, i + 2, "-1000") + Line("hi", 17, i + 2, "1000"));
        const bool on = s.kind == ParamKind::Switch;
        EXPECT_TRUE(c.size() == 2 && c[0].values[s.id] == (on ? 1 : s.lo) && c[1].values[s.id] == (on ? 1 : s.hi)) << i;
    }
}
}  // namespace
