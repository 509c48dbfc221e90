#include "app/device_actions.h"

#include "app/notices.h"
#include "devices/device_choices.h"
#include "devices/endpoint_selection.h"
#include "devices/mini_handover.h"
#include "devices/studio_host.h"

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
