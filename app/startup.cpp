#include "app/startup.h"

#include <algorithm>
#include <string>

#include "app/controls.h"
#include "app/device_actions.h"
#include "app/kept_files.h"
#include "app/notices.h"
#include "app/presets.h"
#include "app/take_notices.h"
#include "devices/beat_capture.h"
#include "devices/beat_pump.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/mini_output.h"
#include "devices/studio_host.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/console.h"
#include "platform/folder_picker.h"
#include "recording/recorder.h"

namespace {
const std::string kRuleEquals(52, '=');
const std::string kRuleDashes(52, '-');
}  // namespace

void StartUpAudio(ShellState& shell) {
    LoadKeptFiles();
    RecoverCutTakes();
    RefreshOutputEndpoints();
    RefreshInputEndpoints();
    micBridge.bridgeChannelMode = std::clamp(appConfig.wasapiMicChannel, 0, 2);
    Console("\n" + kRuleEquals + "\n   Sonavela ASIO Core - Commercial Engine Ready     \n" +
            ">> AUTO-TUNE CORE: TICH HOP SAN (KHONG PHU THUOC VST)\n" + kRuleEquals + "\n\n");
    Console(kRuleEquals + "\n   Sonavela ASIO Core - Professional Low Latency    \n" + kRuleEquals + "\n");
    InitBeatCapture();
    if (!OpenBeatCapture()) {
        Console("[INFO] Chua tim thay VB-Audio CABLE - tiep tuc khoi dong de Setup Wizard huong dan.\n");
    }
    shell.toneSemitones = RequestBeatTone(0.0f);
    InitEngine();
    // The stored sound goes in before the stream runs: the stateful stages
    // restart only while no callback uses them.
    ApplyConfigToEngine(appConfig, shell);
    StartStudioAudio();
    Console(
        "\n>>> [DANG CHAY RTAUDIO ASIO CHUYEN NGHIEP] <<<\n[Mui ten LEN / XUONG] : Doi tone beat\n"
        "[Phim Space]          : Tone goc (0)\n" +
        kRuleDashes + "\n");
    StartBeatPump();
    StartConfigSaver();
}

void FinishStartUp(ShellState& shell) {
    ResolveActiveUserPreset(shell);
    shell.setupWizardPending = !appConfig.setupComplete;
}

void ShutDownAudio() {
    StopBeatPump();
    CancelFolderPick();
    // Handed to the saver, whose stop writes it: one write, before anything can fail.
    SaveConfig();
    StopConfigSaver();
    StopTake();
    // The window is gone: what it would have shown goes to the console.
    for (const Notice& n : TakeNotices()) Console("[WARN] " + n.caption + ": " + n.text + "\n");
    BridgeSourceOff();
    StopMicBridge();
    StopMiniOutput();
    ShutDownStudioAudio();
    CloseBeatCapture();
    ShutdownBeatPitchShifter();
}
