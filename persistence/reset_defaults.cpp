#include "persistence/reset_defaults.h"

#include "devices/host_requests.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "persistence/data_folder.h"

bool ResetToDefaults(WorkingValues& values) {
    BackupConfigFile(".before_reset.bak");
    appConfig = DefaultAppConfig();
    engine.micChannelMode.exchange(appConfig.micChannel);
    // The mirrors start over too: preset 6, no user preset, tone 0.
    PushConfigToEngine(appConfig, values);
    values.toneSemitones = SetBeatTone(0.0f);
    // A stream opened output-only for BEAT ONLY has no microphone: the
    // request makes the next frame reopen it with the input, where setting
    // studioMode here would leave the voice silent.
    hostRequests.requestedStudioMode = appConfig.studioMode;
    const bool saved = SaveConfig();
    values.wizard = {.step = 0, .firstCheckDone = false, .secondCheckDone = false, .visible = true};
    return saved;
}
