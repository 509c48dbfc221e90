// The config file as the program meets it: what each line becomes, when the
// user is told of a repair, what a save leaves on disk whatever the values or
// the locale, and what the engine starts with.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <functional>
#include <locale>
#include <random>
#include <sstream>

#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "app/controls.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

class ConfigFile : public FreshProcessTest {
protected:
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

TEST_F(ConfigFile, EachLineIsReadByTheRuleOfItsKey) {
    if (!InFreshProcess()) return;
    using C = AppConfig&;
    const std::tuple<const char*, std::function<void(C)>, bool> cases[] = {  // file, change from the defaults, recovered
        {"", [](C) {}, false},
        {"vocal_volume=500\nmaster_output_db=-20\nharmony_volume=0", [](C c) { c.vocalVolume = 150, c.masterOutputDb = -6, c.harmonyVolume = 8; }, false},
        {"setup_version=0\ntune_mode=9\nstudio_mode=5\nvocal_preset=14", [](C c) { c.setupVersion = 1, c.tuneMode = 3, c.studioMode = 1, c.vocalPreset = 13; }, false},
        {"tune_mode=0\nasio_buffer_frames=1024\nletters=5\nvocal_volume = 5\nVocal_Volume=5", [](C) {}, false},
        {"asio_buffer_frames=256\r\nreverb=12.5dB\r\n\r\nmic_channel=2.9\nvocal_air=  +7", [](C c) { c.asioBufferFrames = 256, c.reverb = 12.5f, c.micChannel = 2, c.vocalAir = 7; }, false},
        {"record_folder=Sonavela Recordings\nrecord_name=", [](C) {}, false},
        {"record_folder=/x=y \nrecord_name=Ca\r\r", [](C c) { c.recordFolder = "/x=y ", c.recordName = "Ca "; }, false},
        {"record_folder=Sonavela\x1dRecordings\nmini_output_id=a\tb", [](C c) { c.miniOutputId = "a b"; }, false},
        {"harmony_enabled=7\nui_latency_open=-1\nfx_enabled=0", [](C c) { c.harmonyEnabled = c.uiLatencyOpen = true, c.fxEnabled = false; }, false},
        {"asio_buffer_frames=64\nasio_buffer_frames=fast\ntune_mode=3\ntune_mode=x\nfx_enabled=on", [](C) {}, true},
        {"mic_channel=0\nmic_channel=x\nvocal_air=5\nvocal_air=", [](C c) { c.micChannel = 0, c.vocalAir = 5; }, true},
        {"vocal_volume=10\nvocal_volume=20\nreve", [](C c) { c.vocalVolume = 20; }, true},
    };
    for (const auto& [text, change, recovered] : cases) {
        AppConfig expected = DefaultAppConfig();
        change(expected);
        EXPECT_TRUE(Loaded(text) == expected) << text << "\nloaded as:\n" << WriteConfigText(appConfig);
        EXPECT_EQ(configRecovered, recovered) << text;
    }
    for (const char* bad : {"letters", "vocal_body=", "vocal_air=nan", "echo=-inf", "beat_volume=1e39", "setup_version=2147483648"}) {
        EXPECT_TRUE(Loaded(bad) == DefaultAppConfig() && configRecovered) << bad;
    }
}

TEST_F(ConfigFile, AnUnreadableValueIsKeptAsideAndTheUserTold) {
    if (!InFreshProcess()) return;
    const std::string backup = ConfigPath() + ".recovered.bak", bad = "vocal_body=\nreverb=7\r\n";
    WriteFile(backup, "an older copy");
    EXPECT_EQ(Loaded(bad).reverb, 7.0f);
    EXPECT_EQ(recoveryNotice,
              "Sonavela da phat hien mot vai gia tri cau hinh khong hop le va tu phuc hoi bang gia tri an toan. "
              "Ban sao cu da duoc luu thanh sonavela_config.txt.recovered.bak");
    EXPECT_EQ(ReadFile(backup), bad);
    EXPECT_EQ(ReadFile(ConfigPath()), bad) << "the load does not rewrite the file";
    // No file, a folder, a link to itself (opening fails): defaults and no notice.
    for (const auto& make : std::initializer_list<std::function<void()>>{
             [] {}, [] { fs::create_directory(ConfigPath()); }, [] { fs::create_symlink(ConfigPath(), ConfigPath()); }}) {
        fs::remove_all(ConfigPath());
        fs::remove(backup);
        make();
        LoadConfig();
        EXPECT_TRUE(appConfig == DefaultAppConfig() && !configRecovered && recoveryNotice.empty() && !fs::exists(backup));
    }
}

TEST_F(ConfigFile, TheEngineStartsWithTheLoadedValues) {
    if (!InFreshProcess()) return;
    InitEngine();
    ShellState mirrors;
    ApplyConfigToEngine(Loaded("mic_channel=2\nstudio_mode=1\nvocal_volume=90\nbeat_volume=50\nvocal_balance=100\n"
                               "vocal_air=7\necho=40\nmaster_output_db=-6\nharmony_enabled=1\ntune_mode=2\ntune_enabled=0"), mirrors);
    EXPECT_TRUE(engine.micChannelMode == 2 && engine.studioMode == 1 && engine.tuneMode == 2);
    EXPECT_TRUE(engine.vocalVolume == 90.0f && engine.beatVolume == 0.5f && engine.balanceRatio == 5.5f);
    EXPECT_TRUE(engine.airDb == 7.0f && engine.echoLevel == 0.4f && engine.reverbLevel == 0.18f);
    EXPECT_FLOAT_EQ(engine.masterOutputGain, std::pow(10.0f, -0.3f));
    EXPECT_TRUE(engine.harmonyEnabled && engine.fxEnabled && !engine.tuneEnabled);
    EXPECT_TRUE(mirrors.sliders[Param::VocalBalance] == 100.0f && mirrors.sliders[Param::VocalAir] == 7.0f && mirrors.sliders[Param::BeatVolume] == 50.0f &&
                mirrors.sliders[Param::MasterOutputDb] == -6.0f && mirrors.sliders[Param::VocalBody] == 55.0f && mirrors.builtinPreset == 6);
    fs::remove(ConfigPath());
    LoadConfig();
    EXPECT_TRUE(engine.micChannelMode == 1 && engine.studioMode == 0) << "a missing file hands over the defaults";
}

TEST_F(ConfigFile, EverySavedValueReadsBack) {
    if (!InFreshProcess()) return;
    appConfig = DefaultAppConfig();
    const std::string defaults = Saved();
    EXPECT_TRUE(defaults.starts_with("mic_channel=1\nvocal_volume=100\nvocal_balance=55\n")) << defaults;
    EXPECT_NE(defaults.find("\nvocal_air=2.8\nreverb=18\n"), std::string::npos);
    EXPECT_TRUE(defaults.ends_with("\nasio_buffer_frames=128\nstudio_mode=0\n"));
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), '\n'), 37);
    const AppConfig all{0, 150, 0.5f, 12.345f, 99.9f, 1, 2, 3, 9.5f, 50, 40, 8, 100, 0, -1.5f, true, false, 3, false,
                        "{0.0.0.00000000}.{a1}", 1, "alsa_input.usb", 2, "/nhạc/thu âm", "Ca sĩ", 1, 13, "Ấm", true, true,
                        true, false, true, 2, "Focusrite USB ASIO", 512, 1};
    appConfig = all;
    engine.micChannelMode = 0;
    EXPECT_TRUE(Loaded(Saved()) == all) << WriteConfigText(appConfig);
    engine.micChannelMode = 2;
    EXPECT_TRUE(Saved().starts_with("mic_channel=2\n")) << "the live channel is what is kept";
}

TEST_F(ConfigFile, HostileTextValuesReadBackAsWrittenAndInjectNothing) {
    if (!InFreshProcess()) return;
    const std::string hostile = std::string("a\nvocal_volume=0\r\nb\0c\x1b=\xff ", 20) + "Giọng\r";
    const std::string asWritten = std::string("a vocal_volume=0  b c =\xff ", 20) + "Giọng ";
    for (std::string AppConfig::*field : {&AppConfig::miniOutputId, &AppConfig::wasapiMicInputId, &AppConfig::recordFolder,
                                          &AppConfig::recordName, &AppConfig::activeUserPreset, &AppConfig::asioDeviceName}) {
        AppConfig expected = appConfig = DefaultAppConfig();
        appConfig.*field = hostile;
        expected.*field = asWritten;
        const std::string saved = Saved();
        EXPECT_TRUE(Loaded(saved) == expected && !configRecovered) << WriteConfigText(appConfig);
        EXPECT_EQ(Saved(), saved);
    }
}

// A decimal comma, as the Vietnamese locale has, for C++ streams and the C library alike.
struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST_F(ConfigFile, NumbersStayClassicUnderADecimalCommaLocale) {
    if (!InFreshProcess()) return;
    std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    ASSERT_NE(std::setlocale(LC_ALL, "vi_VN.UTF-8"), nullptr) << "scripts/install_deps.sh generates it";
    ASSERT_TRUE((std::ostringstream() << 2.8).str() == "2,8" && std::strtod("2.8", nullptr) == 2.0);
    appConfig = DefaultAppConfig();
    appConfig.masterOutputDb = -1.5f;
    const std::string saved = Saved();
    EXPECT_NE(saved.find("\nvocal_air=2.8\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nmaster_output_db=-1.5\n"), std::string::npos);
    EXPECT_EQ(Loaded("vocal_air=7.25\n").vocalAir, 7.25f);
    EXPECT_EQ(Loaded("reverb=12,5\n").reverb, 12.0f) << "a comma ends the number";
}

TEST_F(ConfigFile, AFailedSaveKeepsThePreviousFile) {
    if (!InFreshProcess()) return;
    appConfig = DefaultAppConfig();
    const std::string before = Saved();
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, 100};  // bytes a file may grow to
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    appConfig.reverb = 30;
    EXPECT_FALSE(SaveConfig());
    EXPECT_EQ(ReadFile(ConfigPath()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(GetDataFolder()), fs::directory_iterator()), 1) << "no leftovers";
}

void ExpectInRange(const AppConfig& c) {
    const auto in = [](auto v, auto lo, auto hi) { return v >= lo && v <= hi; };  // false for NaN
    for (float v : {c.vocalBalance, c.vocalBody, c.vocalSmooth, c.vocalWarmth, c.vocalBodyPlus, c.vocalOpto2a,
                    c.beatVolume, c.masterGlue}) {
        EXPECT_TRUE(in(v, 0.0f, 100.0f));
    }
    EXPECT_TRUE(in(c.vocalVolume, 0.0f, 150.0f) && in(c.vocalAir, 0.0f, 10.0f) && in(c.reverb, 0.0f, 50.0f) &&
                in(c.echo, 0.0f, 40.0f) && in(c.harmonyVolume, 8.0f, 45.0f) && in(c.masterOutputDb, -6.0f, 8.0f));
    EXPECT_TRUE(in(c.micChannel, 0, 2) && in(c.wasapiMicChannel, 0, 2) && in(c.miniOutputMode, 0, 1) &&
                in(c.recordMode, 0, 1) && in(c.studioMode, 0, 1) && in(c.tuneMode, 1, 3) && in(c.vocalPreset, 0, 13) &&
                in(c.setupVersion, 1, 99) && in(c.asioBufferFrames, 64, 512) &&
                std::has_single_bit(static_cast<unsigned>(c.asioBufferFrames)));
    EXPECT_TRUE(!c.recordName.empty() && !c.recordFolder.empty());
    EXPECT_TRUE(in(engine.micChannelMode.load(), 0, 2) && in(engine.studioMode.load(), 0, 1));
}

TEST_F(ConfigFile, AnyFileLoadsWithEveryValueInRange) {
    if (!InFreshProcess()) return;
    std::vector<std::string> keys;
    std::istringstream defaults(WriteConfigText(DefaultAppConfig()));
    for (std::string line; std::getline(defaults, line);) keys.push_back(line.substr(0, line.find('=')));
    const std::string values[] = {"", "nan", "-inf", "1e39", "-1e39", "1e-50", "2147483648", "-2147483649", "0x1p3",
                                  " +-5", std::string(1, '\0'), "-0", "9999", "-9999", "64.9", std::string(1 << 16, '9')};
    const char* const endings[] = {"\n", "\r\n", "\r"};
    std::mt19937 rng(11);
    const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    const auto bytes = [&](size_t n) { std::string s(n, '\0'); for (char& b : s) b = static_cast<char>(pick(256)); return s; };
    for (int file = 0; file < 300; ++file) {
        std::string text = file % 10 == 0 ? bytes(pick(65536)) : "";
        for (int line = 0; line < 40; ++line) {
            text += (pick(8) == 0 ? bytes(pick(40)) : keys[pick(keys.size())]) + "=";
            text += (pick(4) == 0 ? bytes(pick(12)) : values[pick(std::size(values))]) + endings[pick(3)];
        }
        ExpectInRange(Loaded(text));
    }
    std::string huge = "reverb=7\n";
    while (huge.size() < (size_t{5} << 20)) huge += "unknown=1\n";
    EXPECT_TRUE(Loaded(huge + "echo=3\n").reverb == 7.0f && appConfig.echo == 12.0f) << "bytes past 4 MiB are unread";
}
}  // namespace
