// The one-click sounds and "KHOI PHUC MAC DINH": what each preset sets and leaves alone, "CUSTOM", the
// personal presets, and the reset of everything with the old settings kept aside, all as the config says.
#include <signal.h>
#include <sys/resource.h>

#include <cmath>

#include "app/controls.h"
#include "app/host_requests.h"
#include "app/presets.h"
#include "app/reset.h"
#include "app/shell_state.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/vocal_presets.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/user_presets.h"
#include "tests/persistence/fresh_process.h"

namespace {
AppConfig StoredConfig() {
    AppConfig stored = DefaultAppConfig();
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored)) << "the saved config reads without repair";
    return stored;
}

// What the resets kept, oldest first (two within one second sort by their number).
std::vector<std::string> ResetBackups() {
    std::vector<std::string> names, kept;
    for (const auto& entry : std::filesystem::directory_iterator(GetDataFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("sonavela_config.txt.before_reset.")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) kept.push_back(ReadFile(GetDataFolder() + "/" + name));
    return kept;
}

class VocalPresets : public FreshProcessTest {
protected:
    ShellState values;
    // A start as the program makes it: the engine, then the config into it and the mirrors.
    static void Start(ShellState& shell) {
        InitEngine();
        LoadConfig();
        ApplyConfigToEngine(appConfig, shell);
    }
    void Start() { Start(values); }
};

TEST_F(VocalPresets, PhongThuSetsTheWholeVocalChainAndIndexesOutsideTheTableDoNothing) {
    if (!InFreshProcess()) return;
    Start();
    const ShellState before = values;
    for (int32_t i : {-1, 13, 14, 1000}) EXPECT_FALSE(ApplyBuiltinPreset(i, values) || ApplyUserPreset(i, values));
    EXPECT_FALSE(ChooseTuneStyle(0, values) || ChooseTuneStyle(4, values));
    EXPECT_TRUE(values.sliders[Param::VocalBalance] == before.sliders[Param::VocalBalance] &&
                values.builtinPreset == before.builtinPreset);
    EXPECT_FALSE(std::filesystem::exists(ConfigPath())) << "nothing was saved";
    ASSERT_TRUE(ApplyBuiltinPreset(6, values));
    EXPECT_NEAR(engine.balanceMakeup, std::pow(10.0f, 7.5f * 0.54f / 20.0f), 1e-5f);
    EXPECT_TRUE(engine.vocalVolume == 95.0f && engine.harmonyVolume == 18.0f && engine.airDb == 4.0f);
    EXPECT_TRUE(std::abs(engine.glueAmount - 0.52f) < 1e-6f && engine.tuneMode == 2 && engine.retuneRate == 0.0025f);
    EXPECT_TRUE(values.sliders[Param::VocalBalance] == 54.0f && values.sliders[Param::MasterGlue] == 52.0f &&
                values.builtinPreset == 6);
    const AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 6 && stored.vocalBalance == 54.0f && stored.vocalSmooth == 64.0f &&
                stored.vocalAir == 4.0f && stored.harmonyVolume == 18.0f && stored.tuneMode == 2);
}

TEST_F(VocalPresets, ABuiltinPresetLeavesTheSwitchesBeatAndOutputAlone) {
    if (!InFreshProcess()) return;
    Start();
    ToggleTune();  // off
    engine.harmonyEnabled = true;
    engine.beatVolume = 0.7f;
    SetMasterOutputDb(-3.0f);
    const float output = engine.masterOutputGain;
    values.toneSemitones = 2.0f;
    ASSERT_TRUE(ApplyBuiltinPreset(1, values));  // "BOLERO NGỌT"
    EXPECT_TRUE(engine.tuneMode == 1 && engine.retuneRate == 0.0012f);
    EXPECT_FALSE(IsTuneEnabled()) << "a preset's style does not switch auto-tune on";
    EXPECT_TRUE(engine.harmonyEnabled && engine.beatVolume == 0.7f && engine.masterOutputGain == output);
    EXPECT_EQ(values.toneSemitones, 2.0f);
    EXPECT_TRUE(!StoredConfig().tuneEnabled && StoredConfig().harmonyEnabled && StoredConfig().beatVolume == 32.0f);
    engine.harmonyEnabled = false;
    for (int32_t i = 0; i < kBuiltinPresetCount; ++i) {
        ASSERT_TRUE(ApplyBuiltinPreset(i, values));
        EXPECT_TRUE(!engine.harmonyEnabled && engine.fxEnabled) << "no built-in preset switches harmony on " << i;
        EXPECT_EQ(StoredConfig().vocalPreset, i);
    }
}

TEST_F(VocalPresets, AUserPresetBringsItsSwitchesAndBecomesActiveUntilABuiltinOne) {
    if (!InFreshProcess()) return;
    Start();
    userPresets = {UserPreset{.name = "other"}, UserPreset{.name = "Bolero Hòa"}};
    for (const auto& [p, v] : {std::pair{Param::VocalVolume, 110.0f},
                               {Param::VocalBodyPlus, 61.0f},
                               {Param::VocalOpto2a, 33.0f},
                               {Param::VocalAir, 6.5f},
                               {Param::HarmonyVolume, 40.0f},
                               {Param::TuneMode, 3.0f},
                               {Param::FxEnabled, 0.0f},
                               {Param::TuneEnabled, 0.0f},
                               {Param::HarmonyEnabled, 1.0f}}) {
        userPresets[1].values[p] = v;
    }
    ASSERT_TRUE(ApplyUserPreset(1, values));
    EXPECT_TRUE(engine.harmonyEnabled && !engine.fxEnabled && !IsTuneEnabled() && engine.tuneMode == 3);
    EXPECT_TRUE(engine.vocalVolume == 110.0f && engine.harmonyVolume == 40.0f && engine.airDb == 6.5f);
    EXPECT_TRUE(std::abs(engine.bodyPlusAmount - 0.61f) < 1e-6f && std::abs(engine.optoAmount - 0.33f) < 1e-6f);
    EXPECT_TRUE(values.userPreset == 1 && values.builtinPreset == kCustomPreset &&
                values.sliders[Param::VocalOpto2a] == 33.0f);
    AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 13 && stored.activeUserPreset == "Bolero Hòa" && stored.harmonyEnabled &&
                !stored.fxEnabled && !stored.tuneEnabled && stored.vocalVolume == 110.0f);
    // The "LÀM SÁNG" slider moves: the interface marks CUSTOM, then sets and saves its own key.
    MarkPresetCustom(values);
    values.sliders[Param::VocalAir] = 9.0f;
    SetVocalAir(EngineParams::sampleRate, values.sliders[Param::VocalAir]);
    appConfig.vocalAir = values.sliders[Param::VocalAir];
    SaveConfig();
    EXPECT_TRUE(values.userPreset == -1 && values.builtinPreset == kCustomPreset);
    ASSERT_TRUE(ChooseTuneStyle(3, values));
    EXPECT_TRUE(engine.tuneMode == 3 && engine.retuneRate == 0.032f);
    ShellState restarted;  // the next start: the moved values themselves, shown as CUSTOM
    Start(restarted);
    EXPECT_TRUE(restarted.builtinPreset == kCustomPreset && appConfig.activeUserPreset.empty());
    EXPECT_TRUE(restarted.sliders[Param::VocalAir] == 9.0f && engine.airDb == 9.0f && appConfig.tuneMode == 3);
    ApplyUserPreset(1, values);
    ASSERT_TRUE(ApplyBuiltinPreset(0, values));
    stored = StoredConfig();
    EXPECT_TRUE(stored.activeUserPreset.empty() && stored.vocalPreset == 0 && values.userPreset == -1);
    EXPECT_TRUE(engine.harmonyEnabled) << "and leaves harmony as it was";
}

// "LƯU", "ĐỔI TÊN", "XÓA" and the start-up look-up, each value its own so a field written in the wrong place shows.
TEST_F(VocalPresets, SaveRenameDeleteAndFindAgainTheActivePersonalPreset) {
    if (!InFreshProcess()) return;
    Start();
    engine.vocalVolume = 110.0f;
    engine.harmonyEnabled = true;
    MoveControl(values, Param::VocalAir, 6.25f);
    MoveControl(values, Param::VocalBodyPlus, 47.0f);
    for (const char* blank : {"", "   ", "|||"}) EXPECT_EQ(SaveCurrentAsUserPreset(blank, values), -1) << blank;
    ASSERT_EQ(SaveCurrentAsUserPreset(" Bolero|Hòa ", values), 0);
    EXPECT_TRUE(ReadFile(UserPresetsPath()).starts_with("Bolero Hòa|110.0000|55.0000|55"));
    EXPECT_TRUE(values.userPreset == 0 && StoredConfig().activeUserPreset == "Bolero Hòa" &&
                StoredConfig().vocalPreset == kCustomPreset);
    ASSERT_EQ(SaveCurrentAsUserPreset("Khác", values), 1);
    engine.vocalVolume = 80.0f;
    ASSERT_EQ(SaveCurrentAsUserPreset("Bolero Hòa", values), 0) << "the same name is replaced where it stands";
    EXPECT_TRUE(userPresets.size() == 2 && userPresets[0].values[Param::VocalVolume] == 80.0f &&
                userPresets[1].values[Param::VocalBodyPlus] == 47.0f && userPresets[1].values[Param::HarmonyEnabled]);
    EXPECT_FALSE(RenameActiveUserPreset("Khác", values)) << "another preset's name";
    EXPECT_TRUE(RenameActiveUserPreset(" Bolero Hòa", values)) << "its own name";
    ASSERT_TRUE(RenameActiveUserPreset("Hòa mới", values));
    EXPECT_EQ(StoredConfig().activeUserPreset, "Hòa mới");
    LoadUserPresets();
    ResolveActiveUserPreset(values);
    EXPECT_EQ(values.userPreset, 0) << "found again by its name";
    const float air = engine.airDb;
    ASSERT_TRUE(DeleteActiveUserPreset(values));
    EXPECT_TRUE(engine.airDb == air && values.userPreset == -1 && values.builtinPreset == 7) << "the sound stays";
    EXPECT_FALSE(DeleteActiveUserPreset(values) || RenameActiveUserPreset("x", values)) << "none is active";
    appConfig.activeUserPreset = "gone";
    ResolveActiveUserPreset(values);
    EXPECT_TRUE(StoredConfig().activeUserPreset.empty() && StoredConfig().vocalPreset == 7)
        << "a stale name is repaired";
}

// A user who changed a lot (devices, folders, a user preset, BEAT ONLY, the beat's key) resets: everything
// returns at once, the old file is kept aside and the personal files are untouched.
TEST_F(VocalPresets, AResetReturnsEverythingAtOnceKeepsTheOldFileAndSurvivesAFailedWrite) {
    if (!InFreshProcess()) return;
    WriteFile(ConfigPath(),
              "mic_channel=0\nvocal_volume=140\nvocal_balance=90\nmaster_output_db=-5\nharmony_enabled=1\n"
              "fx_enabled=0\ntune_mode=3\ntune_enabled=0\nmini_output_id=bluez_sink.A\nrecord_folder=/srv/rec\n"
              "record_name=Hoa\nvocal_preset=13\nactive_user_preset=Hòa\nsetup_complete=1\nsetup_version=2\n"
              "asio_device_name=Focusrite\nasio_buffer_frames=64\nstudio_mode=1\nui_latency_open=1\n");
    Start();
    values.userPreset = 0;
    values.toneSemitones = -2.0f;
    InitBeatPitchShifter();
    SetBeatTone(-2.0f);
    values.wizard = {.step = 3, .firstCheckDone = true, .secondCheckDone = true, .visible = false};
    hostRequests.requestedStudioMode = -1;
    const std::string before = ReadFile(ConfigPath());
    const std::string presets =
        "Hòa|100.0000|55.0000|55.0000|50.0000|45.0000|2.8000|18.0000|12.0000|24.0000|60.0000|"
        "1|1|1|0|50.0000|0.0000\n";
    WriteFile(UserPresetsPath(), presets);
    WriteFile(SongLibraryPath(), "Ha trang||-1|1\n");
    ASSERT_TRUE(ResetToDefaults(values));
    EXPECT_EQ(ResetBackups(), std::vector<std::string>{before});
    EXPECT_EQ(ReadFile(ConfigPath()), WriteConfigText(DefaultAppConfig())) << "every key at its default";
    EXPECT_TRUE(appConfig == DefaultAppConfig());
    EXPECT_TRUE(ReadFile(UserPresetsPath()) == presets && ReadFile(SongLibraryPath()) == "Ha trang||-1|1\n");
    // The engine follows without a restart.
    EXPECT_TRUE(engine.micChannelMode == 1 && engine.vocalVolume == 100.0f && engine.harmonyVolume == 24.0f);
    EXPECT_TRUE(std::abs(engine.masterOutputGain - std::pow(10.0f, 4.0f / 20.0f)) < 1e-6f &&
                std::abs(engine.beatVolume - 0.32f) < 1e-6f);
    EXPECT_TRUE(!engine.harmonyEnabled && engine.fxEnabled && IsTuneEnabled() && engine.tuneMode == 1 &&
                engine.retuneRate == 0.0012f);
    // The interface's values, and the beat in its own key again.
    EXPECT_TRUE(values.sliders[Param::MasterOutputDb] == 4.0f && values.sliders[Param::VocalBalance] == 55.0f &&
                values.sliders[Param::BeatVolume] == 32.0f);
    EXPECT_TRUE(values.builtinPreset == 6 && values.userPreset == -1 && values.toneSemitones == 0.0f);
    EXPECT_EQ(BeatToneSemitones(), 0.0f);
    EXPECT_TRUE(values.wizard.step == 0 && !values.wizard.firstCheckDone && !values.wizard.secondCheckDone &&
                values.wizard.visible);
    // BEAT ONLY is left to the frame loop, which reopens the stream with its input.
    EXPECT_TRUE(engine.studioMode == 1 && hostRequests.requestedStudioMode == 0);
    ASSERT_TRUE(ResetToDefaults(values));  // a second reset keeps the user's backup beside its own
    EXPECT_EQ(ResetBackups(), (std::vector<std::string>{before, WriteConfigText(DefaultAppConfig())}));
    WriteFile(ConfigPath(), before);  // a failed write keeps the reset in memory
    Start();
    values.wizard.visible = false;
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, 100};  // bytes a file may grow to: no config fits
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(ResetToDefaults(values));
    EXPECT_EQ(ReadFile(ConfigPath()), before);
    EXPECT_TRUE(appConfig == DefaultAppConfig() && engine.vocalVolume == 100.0f && values.wizard.visible);
}
}  // namespace
