// The one-click sounds and "KHOI PHUC MAC DINH": what each preset sets and leaves alone, "CUSTOM", the
// personal presets, and the reset of everything with the old settings kept aside, all as the config says.
#include <signal.h>
#include <sys/resource.h>

#include <cmath>

#include "app/controls.h"
#include "app/host_requests.h"
#include "app/presets.h"
#include "app/reset.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/vocal_presets.h"
#include "persistence/data_folder.h"
#include "persistence/user_presets.h"
#include "tests/persistence/fresh_process.h"

namespace {
namespace fs = std::filesystem;

AppConfig StoredConfig() {
    AppConfig stored = DefaultAppConfig();
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored)) << "the saved config reads without repair";
    return stored;
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
};

TEST_F(VocalPresets, ABuiltinPresetSetsTheVocalChainAloneAndIndexesOutsideTheTableDoNothing) {
    if (!InFreshProcess()) return;
    Start(values);
    for (int32_t i : {-1, 13, 1000}) EXPECT_FALSE(ApplyBuiltinPreset(i, values) || ApplyUserPreset(i, values));
    EXPECT_FALSE(ChooseTuneStyle(0, values) || ChooseTuneStyle(4, values));
    EXPECT_FALSE(fs::exists(ConfigPath())) << "nothing was saved";
    ToggleTune();  // off
    engine.harmonyEnabled = true;
    engine.beatVolume = 0.7f;
    SetMasterOutputDb(-3.0f);
    const float output = engine.masterOutputGain;
    ASSERT_TRUE(ApplyBuiltinPreset(6, values));  // "PHÒNG THU"
    // Percents reach the engine as fractions, decibels and the volume as they are.
    EXPECT_TRUE(std::abs(engine.glueAmount - 0.52f) < 1e-6f && engine.airDb == 4.0f && engine.vocalVolume == 95.0f);
    EXPECT_TRUE(engine.tuneMode == 2 && values.sliders[Param::VocalBalance] == 54.0f && values.builtinPreset == 6);
    EXPECT_FALSE(IsTuneEnabled()) << "a preset's style does not switch auto-tune on";
    EXPECT_TRUE(engine.harmonyEnabled && engine.beatVolume == 0.7f && engine.masterOutputGain == output);
    const AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 6 && stored.vocalSmooth == 64.0f && stored.tuneMode == 2 && !stored.tuneEnabled &&
                stored.harmonyEnabled);
}

// A personal preset: its switches come with it, it stays active until a hand or a built-in preset moves, and
// "LƯU", "ĐỔI TÊN", "XÓA" and the start-up look-up keep the selection and the files together.
TEST_F(VocalPresets, APersonalPresetBringsItsSwitchesAndIsSavedRenamedDeletedAndFoundAgain) {
    if (!InFreshProcess()) return;
    Start(values);
    userPresets = ParseUserPresets(
        "other|1|2|3|4|5|6|7|8|9|10|1|1|1|0|11|12\n"
        "Bolero Hòa|110|55|55|50|45|2.8|18|12|24|60|3|0|0|1|50|33\n");
    ASSERT_TRUE(ApplyUserPreset(1, values));
    EXPECT_TRUE(engine.harmonyEnabled && !engine.fxEnabled && !IsTuneEnabled() && engine.tuneMode == 3);
    EXPECT_TRUE(engine.vocalVolume == 110.0f && std::abs(engine.optoAmount - 0.33f) < 1e-6f);
    EXPECT_TRUE(values.userPreset == 1 && values.builtinPreset == kCustomPreset);
    AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 13 && stored.activeUserPreset == "Bolero Hòa" && stored.harmonyEnabled &&
                !stored.fxEnabled && !stored.tuneEnabled && stored.vocalOpto2a == 33.0f);
    MoveControl(values, Param::VocalAir, 9.0f);  // "LÀM SÁNG" moved by hand
    EXPECT_TRUE(values.userPreset == -1 && values.builtinPreset == kCustomPreset);
    stored = StoredConfig();  // the next start: the moved values themselves, shown as CUSTOM
    EXPECT_TRUE(stored.activeUserPreset.empty() && stored.vocalPreset == kCustomPreset && stored.vocalAir == 9.0f);
    ApplyUserPreset(1, values);
    ASSERT_TRUE(ApplyBuiltinPreset(0, values));
    stored = StoredConfig();
    EXPECT_TRUE(stored.activeUserPreset.empty() && stored.vocalPreset == 0 && values.userPreset == -1);
    EXPECT_TRUE(engine.harmonyEnabled) << "and leaves harmony as it was";
    MoveControl(values, Param::VocalBodyPlus, 47.0f);  // on the built-in sound: volume 100, balance 45, body 40
    for (const char* blank : {"", "   ", "|||"}) EXPECT_EQ(SaveCurrentAsUserPreset(blank, values), -1) << blank;
    ASSERT_EQ(SaveCurrentAsUserPreset("Khác", values), 2) << "a new name goes last";
    ASSERT_EQ(SaveCurrentAsUserPreset(" Bolero|Hòa ", values), 1) << "the same name is replaced where it stands";
    EXPECT_NE(ReadFile(UserPresetsPath()).find("\nBolero Hòa|100.0000|45.0000|40.0000|"), std::string::npos);
    EXPECT_TRUE(userPresets.size() == 3 && userPresets[1].values[Param::VocalBodyPlus] == 47.0f &&
                userPresets[1].values[Param::HarmonyEnabled]);
    EXPECT_TRUE(StoredConfig().activeUserPreset == "Bolero Hòa" && StoredConfig().vocalPreset == kCustomPreset);
    EXPECT_FALSE(RenameActiveUserPreset("Khác", values)) << "another preset's name";
    EXPECT_TRUE(RenameActiveUserPreset(" Bolero Hòa", values)) << "its own name";
    ASSERT_TRUE(RenameActiveUserPreset("Hòa mới", values));
    EXPECT_EQ(StoredConfig().activeUserPreset, "Hòa mới");
    LoadUserPresets();
    ResolveActiveUserPreset(values);
    EXPECT_EQ(values.userPreset, 1) << "found again by its name";
    const float body = engine.bodyPlusAmount;
    ASSERT_TRUE(DeleteActiveUserPreset(values));
    EXPECT_TRUE(engine.bodyPlusAmount == body && values.userPreset == -1 && values.builtinPreset == 7)
        << "the sound stays";
    EXPECT_FALSE(DeleteActiveUserPreset(values) || RenameActiveUserPreset("x", values)) << "none is active";
    appConfig.activeUserPreset = "gone";
    ResolveActiveUserPreset(values);
    EXPECT_TRUE(appConfig.activeUserPreset.empty() && StoredConfig().vocalPreset == 7) << "a stale name is repaired";
}

TEST_F(VocalPresets, AResetReturnsEverythingAtOnceKeepsTheOldFileAndSurvivesAFailedWrite) {
    if (!InFreshProcess()) return;
    const std::string before =
        "mic_channel=0\nvocal_volume=140\nharmony_enabled=1\nfx_enabled=0\ntune_enabled=0\nactive_user_preset=Hòa\n"
        "studio_mode=1\n";
    WriteFile(ConfigPath(), before);
    Start(values);
    values.userPreset = 0;
    InitBeatPitchShifter();
    values.toneSemitones = SetBeatTone(-2.0f);
    ASSERT_TRUE(ResetToDefaults(values));
    const std::vector<fs::directory_entry> files(fs::directory_iterator(GetDataFolder()), fs::directory_iterator{});
    EXPECT_TRUE(files.size() == 2 && ReadFile(files[files[0].path() == ConfigPath()]) == before) << "kept aside";
    EXPECT_TRUE(ReadFile(ConfigPath()) == WriteConfigText(DefaultAppConfig()) && appConfig == DefaultAppConfig());
    // The engine, the interface and the beat follow without a restart.
    EXPECT_TRUE(engine.micChannelMode == 1 && engine.vocalVolume == 100.0f && !engine.harmonyEnabled &&
                engine.fxEnabled && IsTuneEnabled());
    EXPECT_TRUE(values.sliders[Param::VocalVolume] == 100.0f && values.builtinPreset == 6 && values.userPreset == -1 &&
                values.toneSemitones == 0.0f && BeatToneSemitones() == 0.0f && values.setupWizardPending);
    // BEAT ONLY is left to the frame loop, which reopens the stream with its input.
    EXPECT_TRUE(engine.studioMode == 1 && hostRequests.requestedStudioMode == 0);
    WriteFile(ConfigPath(), before);  // a failed write keeps the reset in memory
    Start(values);
    values.setupWizardPending = false;
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, 100};  // bytes a file may grow to: no config fits
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(ResetToDefaults(values));
    EXPECT_TRUE(ReadFile(ConfigPath()) == before && appConfig == DefaultAppConfig() && engine.vocalVolume == 100.0f &&
                values.setupWizardPending && !fs::exists(ConfigPath() + ".partial"));
}
}  // namespace
