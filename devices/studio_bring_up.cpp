// Start-up of the Studio stream: the driver list, the automatic choice (or
// the driver the user last ran), and the first open. Any failure leaves the
// Main Shell and the Mini Player working without Studio audio.

#include <algorithm>

#include "devices/beat_capture.h"
#include "devices/device_choices.h"
#include "devices/driver_preference.h"
#include "devices/mic_bridge.h"
#include "devices/mic_source_policy.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/engine_params.h"
#include "platform/console.h"
#include "platform/utf8_text.h"

StudioHost studioHost;

namespace {
bool CreateHostAndList(std::vector<uint32_t>& ids) {
    std::string reason;
    if (CreateDriverHost(reason) && ListDriverIds(ids, reason)) return true;
    const std::string note = "Main Shell va Mini Player WASAPI van hoat dong.\n";
    Console(reason.empty() ? "[INFO] ASIO subsystem chua san sang. " + note
                           : "[INFO] ASIO subsystem chua san sang: " + reason + ". " + note);
    DestroyDriverHost();
    ids.clear();
    return false;
}

// Drivers that cannot carry the Studio stream's two outputs are left out,
// and so are those that would loop the program into itself: the virtual
// driver, and the cable the beat is captured from.
bool Usable(const DriverInfo& info) {
    return info.outputChannels >= 2 && info.name.find("ASIOVADPRO") == std::string::npos && !IsCableName(info.name);
}

// The index of the automatic choice, or -1 when nothing is listed.
int ProbeDrivers(const std::vector<uint32_t>& ids) {
    int choice = -1;
    int bestRank = -1;
    for (uint32_t id : ids) {
        DriverInfo info;
        std::string reason;
        if (!GetDriverInfo(id, info, reason)) {
            Console(reason.empty() ? "[WARN] Bo qua ASIO device loi khong xac dinh.\n"
                                   : "[WARN] Bo qua ASIO device loi: " + reason + "\n");
            continue;
        }
        if (!Usable(info)) continue;
        studioHost.asioDrivers.push_back(
            AsioDriverEntry{id, TruncateUtf8(info.name, kDriverNameBytes), static_cast<int>(info.inputChannels),
                            static_cast<int>(info.outputChannels), info.generic, info.backEnd});
        const int rank = DriverRank(studioHost.asioDrivers.back());
        if (rank > bestRank) {
            bestRank = rank;
            choice = static_cast<int>(studioHost.asioDrivers.size()) - 1;
        }
    }
    return choice;
}

int StoredDriverIndex() {
    const std::vector<AsioDriverEntry>& list = studioHost.asioDrivers;
    const auto stored = std::find_if(list.begin(), list.end(), [](const AsioDriverEntry& e) {
        return !deviceChoices.driverName.empty() && e.name == deviceChoices.driverName;
    });
    return stored == list.end() ? -1 : static_cast<int>(stored - list.begin());
}

void SelectDriver(int index) {
    const AsioDriverEntry& entry = studioHost.asioDrivers[index];
    studioHost.currentDriverIndex = index;
    studioHost.currentDeviceId = entry.id;
    deviceChoices.driverName = entry.name;
    Console("\n>>> DA KET NOI SOUNDCARD: " + entry.name + " <<<\n");
    studioHost.studioOutputParams = DriverChannels{entry.id, 2, 0};
    engine.inputChannels = 0;
    BuildStudioInput(entry.id, entry.name, static_cast<uint32_t>(entry.inputChannels));
}

void StudioAudioOff() {
    studioHost.asioAvailable = false;
    miniPlayerActive = false;
}
}  // namespace

StudioBringUp BringUpStudioAudio(std::string& openFailure) {
    openFailure.clear();
    studioHost = StudioHost{};
    std::vector<uint32_t> ids;
    const bool hostReady = CreateHostAndList(ids);
    int choice = ProbeDrivers(ids);
    if (const int stored = StoredDriverIndex(); stored >= 0) choice = stored;
    studioHost.asioAvailable = hostReady && !studioHost.asioDrivers.empty();
    if (!studioHost.asioAvailable) {
        StudioAudioOff();
        Console(
            "[INFO] Khong co ASIO - Main Shell van hoat dong; Studio Audio tam khoa, Mini WASAPI san sang khi "
            "nguoi dung chon.\n");
        return StudioBringUp::NoDriver;
    }
    studioHost.studioBufferFrames = static_cast<uint32_t>(deviceChoices.bufferFrames);
    studioHost.studioInputUsed = false;
    SelectDriver(choice);
    if (!OpenAndStartStudio(openFailure)) {
        engine.inputChannels = 0;
        StudioAudioOff();
        Console("[INFO] Main Shell van mo; Studio Audio tam khoa.\n");
        return StudioBringUp::OpenFailed;
    }
    ApplyMicSourcePolicy(studioHost.asioDrivers[choice].name);
    Console(">>> ASIO Stream da kich hoat o muc " + std::to_string(studioHost.studioBufferFrames) + " frames <<<\n");
    return StudioBringUp::Running;
}

void ShutDownStudioAudio() {
    BridgeSourceOff();
    DestroyDriverHost();
    engine.inputChannels = 0;
    studioHost.asioAvailable = false;
}
