// The device changes the panels asked for, each taken once at the top of a
// frame: Studio Mode, buffer size, driver. A failed change puts back what
// ran before and says so; the Mini Player's frames leave the stream alone.

#include <chrono>
#include <thread>

#include "devices/console.h"
#include "devices/host_requests.h"
#include "devices/mic_bridge.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/message_box.h"

namespace {
constexpr uint32_t kFallbackBufferFrames = 128;

bool StudioStreamInReach() { return studioHost.asioAvailable && DriverHostExists() && !miniPlayerActive; }

void SetStudioMode(int32_t mode) {
    engine.studioMode = mode;
    appConfig.studioMode = mode;
}

void StopBridgeForSwitch() {
    BridgeSourceOff();
}

// Nothing runs after a retry failed too: the user has to know.
void ReportSilentStudio(const std::string& reason) {
    ShowMessageBox("Khong mo lai duoc Soundcard ASIO" + (reason.empty() ? "." : ":\n" + reason) +
                       "\n\nBam KHOI PHUC AM THANH de thu lai sau khi kiem tra soundcard.",
                   "Sonavela - Loi Driver Soundcard", MessageIcon::Warning, true);
}

void HandleStudioModeRequest() {
    const int32_t requested = hostRequests.requestedStudioMode.exchange(-1);
    if (miniPlayerActive || (requested != 0 && requested != 1) || requested == engine.studioMode.load()) return;
    StopBridgeForSwitch();
    const int32_t oldMode = engine.studioMode.load();
    SetStudioMode(requested);
    if (StudioStreamInReach() && !ReopenStudioStream()) {
        SetStudioMode(oldMode);
        const bool restored = ReopenStudioStream();
        ShowMessageBox("Khong the chuyen Studio Mode tren driver hien tai. Sonavela da khoi phuc che do truoc.",
                       "Sonavela - Studio Mode", MessageIcon::Warning, true);
        if (!restored) ReportSilentStudio("");
    }
    SaveConfig();
}

void HandleBufferRequest() {
    const int32_t requested = hostRequests.requestedBufferFrames.exchange(0);
    if (!StudioStreamInReach() || requested < 1 || static_cast<uint32_t>(requested) == studioHost.studioBufferFrames)
        return;
    CloseStudioStream();
    studioHost.studioBufferFrames = static_cast<uint32_t>(requested);
    std::string reason;
    if (OpenAndStartStudio(reason)) {
        appConfig.asioBufferFrames = static_cast<int32_t>(studioHost.studioBufferFrames);
        SaveConfig();
        return;
    }
    studioHost.studioBufferFrames = kFallbackBufferFrames;
    if (!OpenAndStartStudio(reason)) ReportSilentStudio(reason);
}

int IndexOfDriver(uint32_t id) {
    const std::vector<AsioDriverEntry>& list = studioHost.asioDrivers;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

// Points the stream at a listed driver with its input rule; the stream is closed.
void AimAtDriver(int index) {
    const AsioDriverEntry& entry = studioHost.asioDrivers[index];
    studioHost.currentDeviceId = entry.id;
    studioHost.studioOutputParams.deviceId = entry.id;
    BuildStudioInput(entry.id, entry.name, static_cast<uint32_t>(entry.inputChannels));
}

void RestorePreviousDriver(int previousIndex) {
    AimAtDriver(previousIndex);
    studioHost.currentDriverIndex = previousIndex;
    std::string reason;
    if (!OpenAndStartStudio(reason)) {
        ReportSilentStudio(reason);
        return;
    }
    ApplyMicSourcePolicy(studioHost.asioDrivers[previousIndex].name);
}

void HandleDriverRequest() {
    const int32_t requested = hostRequests.requestedAsioDevice.exchange(-1);
    if (!StudioStreamInReach() || requested < 0 || static_cast<uint32_t>(requested) == studioHost.currentDeviceId)
        return;
    const int index = IndexOfDriver(static_cast<uint32_t>(requested));
    const int previousIndex = IndexOfDriver(studioHost.currentDeviceId);
    if (index < 0) {
        Console("[WARN] Bo qua yeu cau driver khong co trong danh sach: " + std::to_string(requested) + "\n");
        return;
    }
    StopBridgeForSwitch();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    CloseStudioStream();
    AimAtDriver(index);
    std::string reason;
    if (OpenAndStartStudio(reason)) {
        studioHost.currentDriverIndex = index;
        appConfig.asioDeviceName = studioHost.asioDrivers[index].name;
        ApplyMicSourcePolicy(studioHost.asioDrivers[index].name);
        SaveConfig();
        return;
    }
    ShowMessageBox("Khong the ket noi Soundcard moi:\n" + reason + "\n\nDang khoi phuc lai thiet bi am thanh truoc do.",
                   "Sonavela - Loi Driver Soundcard", MessageIcon::Warning, true);
    if (previousIndex >= 0) RestorePreviousDriver(previousIndex);
}

// A device that went away mid-stream: close it so nothing waits on it, and say so.
void CheckStudioStream() {
    std::string reason;
    if (!IsDriverStreamRunning() || !DriverStreamFailed(reason)) return;
    CloseStudioStream();
    StopBridgeForSwitch();
    engine.inputChannels = 0;
    Console("[WARN] Mat ket noi Soundcard ASIO: " + reason + "\n");
    ShowMessageBox("Mat ket noi Soundcard ASIO:\n" + reason +
                       "\n\nKiem tra day cam roi bam KHOI PHUC AM THANH de ket noi lai.",
                   "Sonavela - Loi Driver Soundcard", MessageIcon::Warning, true);
}
}  // namespace

void HandleHostRequests() {
    HandleStudioModeRequest();
    HandleBufferRequest();
    HandleDriverRequest();
    CheckStudioStream();
}
