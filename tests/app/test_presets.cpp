// The one-click sounds: what each preset sets and leaves alone, what the config then says, and "CUSTOM".
#include <cmath>

#include "app/presets.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/vocal_presets.h"
#include "tests/app/stored_config.h"

namespace {
class VocalPresets : public FreshProcessTest {
protected:
    ShellState values;
    void Start() { StartFromStoredConfig(values); }
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
    userPresets = {MakePreset("other", {}), MakePreset("Bolero Hòa", {{Param::VocalVolume, 110},
                                                                      {Param::VocalBodyPlus, 61},
                                                                      {Param::VocalOpto2a, 33},
                                                                      {Param::VocalAir, 6.5f},
                                                                      {Param::HarmonyVolume, 40},
                                                                      {Param::TuneMode, 3},
                                                                      {Param::FxEnabled, 0},
                                                                      {Param::TuneEnabled, 0},
                                                                      {Param::HarmonyEnabled, 1}})};
    ASSERT_TRUE(ApplyUserPreset(1, values));
    EXPECT_TRUE(engine.harmonyEnabled && !engine.fxEnabled && !IsTuneEnabled() && engine.tuneMode == 3);
    EXPECT_TRUE(engine.vocalVolume == 110.0f && engine.harmonyVolume == 40.0f && engine.airDb == 6.5f);
    EXPECT_TRUE(std::abs(engine.bodyPlusAmount - 0.61f) < 1e-6f && std::abs(engine.optoAmount - 0.33f) < 1e-6f);
    EXPECT_TRUE(values.userPreset == 1 && values.builtinPreset == kCustomPreset &&
                values.sliders[Param::VocalOpto2a] == 33.0f);
    AppConfig stored = StoredConfig();
    EXPECT_TRUE(stored.vocalPreset == 13 && stored.activeUserPreset == "Bolero Hòa" && stored.harmonyEnabled &&
                !stored.fxEnabled && !stored.tuneEnabled && stored.vocalVolume == 110.0f);
    ASSERT_TRUE(ApplyBuiltinPreset(0, values));
    stored = StoredConfig();
    EXPECT_TRUE(stored.activeUserPreset.empty() && stored.vocalPreset == 0 && values.userPreset == -1);
    EXPECT_TRUE(engine.harmonyEnabled) << "and leaves harmony as it was";
}

TEST_F(VocalPresets, AHandAdjustmentShowsCustomAndIsRestoredAsCustom) {
    if (!InFreshProcess()) return;
    Start();
    userPresets = {MakePreset("mine", {})};
    ASSERT_TRUE(ApplyUserPreset(0, values));
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
    StartFromStoredConfig(restarted);
    EXPECT_TRUE(restarted.builtinPreset == kCustomPreset && appConfig.activeUserPreset.empty());
    EXPECT_TRUE(restarted.sliders[Param::VocalAir] == 9.0f && engine.airDb == 9.0f && appConfig.tuneMode == 3);
}
}  // namespace

namespace {
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
}  // namespace
