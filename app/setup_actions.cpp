#include "app/setup_actions.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "app/device_actions.h"
#include "app/host_requests.h"
#include "devices/beat_capture.h"
#include "devices/endpoint_selection.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/audio_endpoints.h"
#include "platform/console.h"
#include "platform/sound_server.h"
#include "platform/studio_driver.h"

namespace {
constexpr int32_t kWizardVersion = 2;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The id of the first output that is the cable, "" when there is none.
std::string CableOutputId(std::string& reason) {
    std::vector<AudioEndpoint> outputs;
    std::string defaultId;
    if (!ListAudioEndpoints(EndpointFlow::Render, outputs, defaultId, reason)) return "";
    for (const AudioEndpoint& e : outputs) {
        if (IsCableName(e.name)) return e.id;
    }
    return "";
}

std::string CableModuleArguments() {
    return std::string("module-null-sink sink_name=") + kCableId +
           " rate=48000 sink_properties=\"device.description='" + kCableName + "'\"";
}
}  // namespace

void FinishSetup(bool completed) {
    appConfig.setupComplete = true;
    if (completed) {
        appConfig.setupVersion = kWizardVersion;
        const int i = studioHost.currentDriverIndex;
        if (i >= 0 && static_cast<size_t>(i) < studioHost.asioDrivers.size()) {
            appConfig.asioDeviceName = studioHost.asioDrivers[static_cast<size_t>(i)].name;
        }
        appConfig.micChannel = engine.micChannelMode.load();
    }
    SaveConfig();
}

void ChooseWizardDriver(int index) {
    if (index < 0 || static_cast<size_t>(index) >= studioHost.asioDrivers.size()) return;
    const AsioDriverEntry& driver = studioHost.asioDrivers[static_cast<size_t>(index)];
    studioHost.currentDriverIndex = index;
    appConfig.asioDeviceName = driver.name;
    if (!miniPlayerActive) hostRequests.requestedAsioDevice = static_cast<int32_t>(driver.id);
}

void ChooseWizardMicChannel(int32_t mode) {
    engine.micChannelMode.store(mode);
    appConfig.micChannel = mode;
}

void ChooseWizardBuffer(int32_t frames) {
    appConfig.asioBufferFrames = frames;
    if (studioHost.asioAvailable && DriverHostExists() && !miniPlayerActive)
        hostRequests.requestedBufferFrames = frames;
}

void ChooseWizardMiniOutput(int index) {
    const auto& outputs = endpointLists.outputEndpoints;
    if (index < 0 || static_cast<size_t>(index) >= outputs.size()) return;
    endpointLists.selectedOutputIndex = index;
    appConfig.miniOutputId = outputs[static_cast<size_t>(index)].id;
}

void ChooseWizardMiniProfile(int32_t mode) { appConfig.miniOutputMode = std::clamp(mode, 0, 1); }

bool ReopenBeatCapture() {
    return RunDeviceOperation([] { return OpenBeatCapture(); });
}

bool CreateVirtualCable(std::string& said) {
    std::string reason;
    const bool present = !CableOutputId(reason).empty();
    if (!present && !reason.empty()) {
        said = "Khong ket noi duoc sound server: " + reason;
        return false;
    }
    if (!present && !LoadVirtualOutput(kCableId, kCableName, reason)) {
        said = "Khong tao duoc CABLE: " + reason;
        return false;
    }
    if (!ReopenBeatCapture()) {
        said = "Da co CABLE nhung chua mo duoc capture: " + beatCapture.openError;
        return false;
    }
    said = present ? "CABLE da co san - da mo lai capture." : "Da tao CABLE Input va mo capture.";
    Console("[OK] " + said + "\n");
    return true;
}

bool LooksLikeBrowser(const std::string& application, const std::string& binary) {
    const std::string names = Lower(application) + " " + Lower(binary);
    for (const char* browser : {"brave", "chrome", "chromium", "firefox"}) {
        if (names.find(browser) != std::string::npos) return true;
    }
    return false;
}

bool RouteBrowserToCable(std::string& said) {
    std::string reason;
    const std::string cable = CableOutputId(reason);
    if (cable.empty()) {
        said = reason.empty() ? "Chua co CABLE. Hay tao VB-CABLE truoc." : "Khong ket noi duoc sound server: " + reason;
        return false;
    }
    std::vector<PlaybackStream> streams;
    if (!ListPlaybackStreams(streams, reason)) {
        said = "Khong doc duoc danh sach am thanh dang phat: " + reason;
        return false;
    }
    std::string moved;
    std::string others;
    for (const PlaybackStream& s : streams) {
        const std::string shown = (s.application.empty() ? s.binary : s.application) + " #" + std::to_string(s.index);
        if (!LooksLikeBrowser(s.application, s.binary)) {
            others += (others.empty() ? "" : ", ") + shown;
            continue;
        }
        if (!MovePlaybackStream(s.index, cable, reason)) {
            said = "Khong chuyen duoc " + shown + ": " + reason;
            return false;
        }
        moved += (moved.empty() ? "" : ", ") + shown;
    }
    if (moved.empty()) {
        said = "Khong tim thay trinh duyet dang phat am thanh. Bam PLAY video trong Brave roi thu lai." +
               (others.empty() ? std::string(" (Khong co ung dung nao dang phat.)") : " (Dang phat: " + others + ")");
        return false;
    }
    said = "Da chuyen " + moved + " -> CABLE Input.";
    Console("[OK] " + said + "\n");
    return true;
}

std::string KeepCableHint() {
    std::string escaped;
    for (char c : CableModuleArguments()) {
        if (c == '"') escaped += '\\';
        escaped += c;
    }
    return "Giu CABLE sau khi khoi dong lai sound server - PulseAudio: them vao ~/.config/pulse/default.pa (sau dong "
           ".include /etc/pulse/default.pa):\n  load-module " +
           CableModuleArguments() +
           "\nPipeWire: them vao ~/.config/pipewire/pipewire-pulse.conf.d/cable.conf:\n  pulse.cmd = [ { cmd = "
           "\"load-module\" args = \"" +
           escaped + "\" } ]";
}
