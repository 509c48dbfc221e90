#include "app/device_actions.h"

#include "app/host_requests.h"
#include "app/notices.h"
#include "app/take_notices.h"
#include "devices/device_choices.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/mic_source_policy.h"
#include "devices/mini_handover.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"

void HandDeviceChoices() {
    const AppConfig& c = appConfig;
    deviceChoices = DeviceChoices{.miniOutputId = c.miniOutputId,
                                  .miniOutputBluetooth = c.miniOutputMode == 1,
                                  .micInputId = c.wasapiMicInputId,
                                  .micChannel = c.wasapiMicChannel,
                                  .driverName = c.asioDeviceName,
                                  .bufferFrames = c.asioBufferFrames,
                                  .saveWanted = false};
}

void KeepDeviceChoices() {
    AppConfig& c = appConfig;
    c.miniOutputId = deviceChoices.miniOutputId;
    c.wasapiMicInputId = deviceChoices.micInputId;
    c.asioDeviceName = deviceChoices.driverName;
    if (deviceChoices.saveWanted) SaveConfig();
    deviceChoices.saveWanted = false;
}

void StartStudioAudio() {
    std::string reason;
    const StudioBringUp outcome = RunDeviceOperation([&] { return BringUpStudioAudio(reason); });
    if (outcome == StudioBringUp::OpenFailed) {
        PostNotice("Sonavela - ASIO khong san sang",
                   "Khong mo duoc Soundcard ASIO:\n" + reason +
                       "\n\nSonavela se chuyen sang Mini Player qua WASAPI (3.5mm/Bluetooth/HDMI).",
                   MessageIcon::Warning, false);
    }
}

void EnterMiniPlayer() {
    const BeatPumpPause pause;
    EnterMiniPlayerAudio();
}

void ReturnToStudio() {
    std::string reason;
    switch (ReturnToStudioAudio(reason)) {
        case StudioReturn::Resumed:
            return;
        case StudioReturn::NoDriver:
            PostNotice("Sonavela - Main Shell",
                       "Khong phat hien Soundcard hoac driver ASIO nao.\n\nStudio Audio se san sang khi ban cai dat "
                       "driver ASIO cho soundcard.",
                       MessageIcon::Information);
            return;
        case StudioReturn::StartFailed:
            PostNotice("Sonavela - Studio Audio chua san sang",
                       "ASIO chua san sang, nhung Sonavela van giu Main Shell.\n\n" + reason, MessageIcon::Information);
            return;
    }
}

void RefreshOutputs() {
    RunDeviceOperation([] {
        RefreshOutputEndpoints();
        return true;
    });
}

bool RestoreStudioAudio() {
    return RunDeviceOperation([] { return ReopenStudioStream(); });
}

void ChooseDriver(int index) {
    if (index < 0 || static_cast<size_t>(index) >= studioHost.asioDrivers.size()) return;
    studioHost.currentDriverIndex = index;
    hostRequests.requestedAsioDevice = static_cast<int32_t>(studioHost.asioDrivers[static_cast<size_t>(index)].id);
}

void ChooseMicChannel(int32_t mode) {
    engine.micChannelMode = mode;
    appConfig.micChannel = mode;
    SaveConfig();
}

bool ChooseBridgeMic(int index) {
    const auto& inputs = endpointLists.inputEndpoints;
    if (index < 0 || static_cast<size_t>(index) >= inputs.size()) return false;
    endpointLists.selectedInputIndex = index;
    appConfig.wasapiMicInputId = inputs[static_cast<size_t>(index)].id;
    SaveConfig();
    engine.micBridgeEnabled = false;
    StopMicBridge();
    const bool running = RunDeviceOperation([] { return StartSelectedMicBridge(); });
    engine.micBridgeRunning = running;
    engine.micBridgeEnabled = running;
    return running;
}

void ChooseBridgeChannel(int32_t mode) {
    micBridge.bridgeChannelMode = mode;
    appConfig.wasapiMicChannel = mode;
    SaveConfig();
}

void RefreshBridgeMic() {
    const int i = studioHost.currentDriverIndex;
    if (i < 0 || static_cast<size_t>(i) >= studioHost.asioDrivers.size()) return;
    RunDeviceOperation([&] {
        ApplyMicSourcePolicy(studioHost.asioDrivers[static_cast<size_t>(i)].name);
        return true;
    });
}

namespace {
bool OpenChosenMiniOutput() {
    return RunDeviceOperation([] {
        ApplyBeatHqProfile();
        return OpenSelectedMiniOutput();
    });
}
}  // namespace

bool SwitchToMiniPlayer() {
    if (engine.recorderActive.load()) StopTake();
    miniPlayerActive = true;
    EnterMiniPlayer();
    if (OpenChosenMiniOutput()) return true;
    PostNotice("Sonavela - Mini Output",
               "Khong mo duoc thiet bi am thanh Mini Player.\nHay kiem tra 3.5mm / Bluetooth / HDMI.\n\n" +
                   miniOutput.openError,
               MessageIcon::Warning);
    return false;
}

void SwitchToStudio() {
    StopMiniOutput();
    {
        const BeatPumpPause pause;
        ApplyBeatHqProfile();
    }
    miniPlayerActive = false;
    ReturnToStudio();
}

bool ChooseMiniOutput(int index) {
    const auto& outputs = endpointLists.outputEndpoints;
    if (index < 0 || static_cast<size_t>(index) >= outputs.size()) return false;
    const std::string before = appConfig.miniOutputId;
    const std::string chosen = outputs[static_cast<size_t>(index)].id;
    StopMiniOutput();
    appConfig.miniOutputId = chosen;
    if (OpenChosenMiniOutput() && miniOutput.openedId == chosen) {
        SaveConfig();
        return true;
    }
    StopMiniOutput();
    appConfig.miniOutputId = before;
    if (!OpenChosenMiniOutput()) {
        PostNotice("Sonavela - Mini Output",
                   "Thiet bi vua chon hien khong san sang.\nSonavela da giu Mini Player va thu quay ve output hop le.",
                   MessageIcon::Warning);
    }
    return false;
}

bool ChooseK10Output() {
    RefreshOutputs();
    const int k10 = FindK10OutputIndex();
    return k10 >= 0 && ChooseMiniOutput(k10);
}

bool ChooseMiniProfile(int32_t mode) {
    const int32_t before = appConfig.miniOutputMode;
    appConfig.miniOutputMode = mode == 1 ? 1 : 0;
    StopMiniOutput();
    SaveConfig();
    if (OpenChosenMiniOutput()) return true;
    appConfig.miniOutputMode = before;
    SaveConfig();
    OpenChosenMiniOutput();
    PostNotice("Sonavela - Mini Sync", "Khong the doi profile am thanh. Sonavela da quay ve che do truoc.",
               MessageIcon::Warning);
    return false;
}
