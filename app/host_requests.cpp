#include "app/host_requests.h"

#include "app/device_actions.h"
#include "app/notices.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_switches.h"
#include "engine/engine_params.h"
#include "platform/console.h"

namespace {
constexpr const char* kDriverCaption = "Sonavela - Loi Driver Soundcard";

// Nothing runs after a retry failed too: the user has to know.
void ReportSilentStudio(const std::string& reason) {
    PostNotice(kDriverCaption,
               "Khong mo lai duoc Soundcard ASIO" + (reason.empty() ? "." : ":\n" + reason) +
                   "\n\nBam KHOI PHUC AM THANH de thu lai sau khi kiem tra soundcard.",
               MessageIcon::Warning);
}

void HandleStudioModeRequest() {
    const int32_t requested = hostRequests.requestedStudioMode.exchange(-1);
    if (miniPlayerActive || (requested != 0 && requested != 1) || requested == engine.studioMode.load()) return;
    const StudioSwitch result = RunDeviceOperation([&] { return SwitchStudioMode(requested); });
    appConfig.studioMode = engine.studioMode;
    if (!result.done) {
        PostNotice("Sonavela - Studio Mode",
                   "Khong the chuyen Studio Mode tren driver hien tai. Sonavela da khoi phuc che do truoc.",
                   MessageIcon::Warning);
    }
    if (result.silent) ReportSilentStudio("");
    SaveConfig();
}

void HandleBufferRequest() {
    const int32_t requested = hostRequests.requestedBufferFrames.exchange(0);
    if (!StudioStreamInReach() || requested < 1 || static_cast<uint32_t>(requested) == studioHost.studioBufferFrames)
        return;
    const StudioSwitch result =
        RunDeviceOperation([&] { return ChangeBufferFrames(static_cast<uint32_t>(requested)); });
    if (result.done) {
        appConfig.asioBufferFrames = static_cast<int32_t>(studioHost.studioBufferFrames);
        SaveConfig();
    }
    if (result.silent) ReportSilentStudio(result.restoreReason);
}

void HandleDriverRequest() {
    const int32_t requested = hostRequests.requestedAsioDevice.exchange(-1);
    if (!StudioStreamInReach() || requested < 0 || static_cast<uint32_t>(requested) == studioHost.currentDeviceId)
        return;
    bool unknown = false;
    const StudioSwitch result =
        RunDeviceOperation([&] { return SwitchDriver(static_cast<uint32_t>(requested), unknown); });
    if (unknown) {
        Console("[WARN] Bo qua yeu cau driver khong co trong danh sach: " + std::to_string(requested) + "\n");
        return;
    }
    if (result.done) {
        appConfig.asioDeviceName = studioHost.asioDrivers[studioHost.currentDriverIndex].name;
        SaveConfig();
        return;
    }
    PostNotice(
        kDriverCaption,
        "Khong the ket noi Soundcard moi:\n" + result.reason + "\n\nDang khoi phuc lai thiet bi am thanh truoc do.",
        MessageIcon::Warning);
    if (result.silent) ReportSilentStudio(result.restoreReason);
}

void CheckStudioStream() {
    std::string reason;
    if (!CloseLostStudioStream(reason)) return;
    Console("[WARN] Mat ket noi Soundcard ASIO: " + reason + "\n");
    PostNotice(
        kDriverCaption,
        "Mat ket noi Soundcard ASIO:\n" + reason + "\n\nKiem tra day cam roi bam KHOI PHUC AM THANH de ket noi lai.",
        MessageIcon::Warning);
}
}  // namespace

void HandleHostRequests() {
    HandleStudioModeRequest();
    HandleBufferRequest();
    HandleDriverRequest();
    CheckStudioStream();
    if (const int32_t input = hostRequests.requestedBridgeInput.exchange(-1); input >= 0) ChooseBridgeMic(input);
    if (hostRequests.requestedMicRefresh.exchange(false)) RefreshBridgeMic();
}

int32_t HandleRestoreRequest() {
    if (!hostRequests.requestedStudioRestore.exchange(false)) return 0;
    return RestoreStudioAudio() ? 1 : -1;
}
