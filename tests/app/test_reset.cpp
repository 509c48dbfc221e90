// "KHOI PHUC MAC DINH": everything back to the defaults at once, the old settings kept aside, the personal
// files untouched, and a BEAT ONLY stream asked to reopen with the microphone.
#include <signal.h>
#include <sys/resource.h>

#include <cmath>

#include "app/host_requests.h"
#include "app/presets.h"
#include "app/reset.h"
#include "engine/beat_tone.h"
#include "engine/engine_setters.h"
#include "tests/app/stored_config.h"

namespace {
class ResetDefaults : public FreshProcessTest {
protected:
    ShellState values;
    // A user who changed a lot: devices, folders, a user preset, BEAT ONLY, the beat's key.
    void StartChanged() {
        WriteFile(ConfigPath(),
                  "mic_channel=0\nvocal_volume=140\nvocal_balance=90\nmaster_output_db=-5\nharmony_enabled=1\n"
                  "fx_enabled=0\ntune_mode=3\ntune_enabled=0\nmini_output_id=bluez_sink.A\nrecord_folder=/srv/rec\n"
                  "record_name=Hoa\nvocal_preset=13\nactive_user_preset=Hòa\nsetup_complete=1\nsetup_version=2\n"
                  "asio_device_name=Focusrite\nasio_buffer_frames=64\nstudio_mode=1\nui_latency_open=1\n");
        StartFromStoredConfig(values);
        values.userPreset = 0;
        values.toneSemitones = -2.0f;
        InitBeatPitchShifter();
        SetBeatTone(-2.0f);
        values.wizard = {.step = 3, .firstCheckDone = true, .secondCheckDone = true, .visible = false};
        hostRequests.requestedStudioMode = -1;
    }
};

TEST_F(ResetDefaults, EverythingReturnsAtOnceTheOldFileIsKeptAndPersonalFilesAreUntouched) {
    if (!InFreshProcess()) return;
    StartChanged();
    const std::string before = ReadFile(ConfigPath());
    const std::string presets =
        "Hòa|100.0000|55.0000|55.0000|50.0000|45.0000|2.8000|18.0000|12.0000|24.0000|60.0000|"
        "1|1|1|0|50.0000|0.0000\n";
    WriteFile(UserPresetsPath(), presets);
    WriteFile(SongLibraryPath(), "Ha trang||-1|1\n");
    ASSERT_TRUE(ResetToDefaults(values));
    EXPECT_EQ(ReadFile(ConfigPath() + ".before_reset.bak"), before);
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
    ASSERT_TRUE(ResetToDefaults(values));  // a second reset keeps the already-reset file as the backup
    EXPECT_EQ(ReadFile(ConfigPath() + ".before_reset.bak"), WriteConfigText(DefaultAppConfig()));
}

TEST_F(ResetDefaults, AFailedWriteKeepsTheResetInMemory) {
    if (!InFreshProcess()) return;
    StartChanged();
    const std::string before = ReadFile(ConfigPath());
    signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100, 100};  // bytes a file may grow to: no config fits
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(ResetToDefaults(values));
    EXPECT_EQ(ReadFile(ConfigPath()), before);
    EXPECT_TRUE(appConfig == DefaultAppConfig() && engine.vocalVolume == 100.0f && values.wizard.visible);
}
}  // namespace
