#include "app/reset.h"

#include "app/controls.h"
#include "app/device_actions.h"
#include "app/host_requests.h"
#include "devices/beat_pump.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"

bool ResetToDefaults(ShellState& shell) {
    FlushConfigSaves();  // a change the saver still holds belongs in the copy
    BackupConfigFile("before_reset");
    appConfig = DefaultAppConfig();
    engine.micChannelMode.exchange(appConfig.micChannel);
    PushConfigToEngine(appConfig, shell);
    shell.toneSemitones = RequestBeatTone(0.0f);
    // A stream opened output-only for BEAT ONLY has no microphone: the
    // request makes the next frame reopen it with the input, where setting
    // studioMode here would leave the voice silent.
    hostRequests.requestedStudioMode = appConfig.studioMode;
    const bool saved = SaveConfigNow();
    RefreshOutputs();
    shell.wizard = SetupWizardView{};
    shell.setupWizardPending = true;
    // The panels' fields follow the reset, not what they showed before it.
    shell.recorderFieldsLoaded = false;
    shell.latencyChoice = -1;
    return saved;
}
