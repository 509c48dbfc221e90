#include "app/diagnostics.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <sstream>

#include "devices/beat_capture.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"
#include "platform/console.h"
#include "platform/file_access.h"
#include "platform/local_time.h"
#include "platform/sound_server.h"
#include "platform/studio_driver.h"
#include "platform/system_info.h"

#ifndef SONAVELA_BUILD_ID
#define SONAVELA_BUILD_ID "unknown"
#endif

namespace {
using Clock = std::chrono::steady_clock;
constexpr double kSampleRate = 48000.0;
constexpr size_t kMinuteOfSamples = 61;  // a second apart: the ends span a minute

struct HealthSample {
    Clock::time_point at;
    uint64_t busyNanos = 0;
    uint64_t frames = 0;
    uint64_t worstNanos = 0;  // the longest block in the second before
    uint64_t bridgeUnderruns = 0;
};
std::deque<HealthSample> health;

const char* YesNo(bool value) { return value ? "YES" : "NO"; }

std::string Float(float value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

// Asked once a run: the server is a round trip, the rest does not change.
const std::string& MachineLines() {
    static const std::string lines = [] {
        const SystemDescription system = DescribeSystem();
        std::string server;
        std::string reason;
        if (!DescribeSoundServer(server, reason)) server = "khong tra loi (" + reason + ")";
        return "System: " + system.system + " | " + system.kernel + "\r\nSound server: " + server + "\r\n";
    }();
    return lines;
}

std::string HealthLines() {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(1);
    const AsioDriverEntry* driver = CurrentAsioDriver();
    s << "Studio driver back-end: " << (driver != nullptr && !driver->backEnd.empty() ? driver->backEnd : "-")
      << " | granted buffer: " << studioHost.studioBufferFrames << " samples\r\n";
    if (health.size() < 2 || health.back().frames == health.front().frames) {
        s << "Callback load (last minute): no callback ran\r\n";
    } else {
        const HealthSample& first = health.front();
        const HealthSample& last = health.back();
        const double audioNanos = static_cast<double>(last.frames - first.frames) / kSampleRate * 1e9;
        uint64_t worst = 0;
        for (auto it = health.begin() + 1; it != health.end(); ++it) worst = std::max(worst, it->worstNanos);
        const double periodNanos = studioHost.studioBufferFrames / kSampleRate * 1e9;
        s << "Callback load (last minute): mean "
          << 100.0 * static_cast<double>(last.busyNanos - first.busyNanos) / audioNanos << "% | worst "
          << 100.0 * static_cast<double>(worst) / periodNanos << "% of the period\r\n";
    }
    s << "Beat ring: " << BeatRingFill() << " samples buffered | trimmed " << beatCapture.samplesTrimmed.load()
      << " samples | reprimes " << engine.beatRingReprimes.load() << "\r\n";
    double perMinute = 0.0;
    if (health.size() >= 2) {
        const double seconds = std::chrono::duration<double>(health.back().at - health.front().at).count();
        perMinute = static_cast<double>(health.back().bridgeUnderruns - health.front().bridgeUnderruns) * 60.0 /
                    std::max(1.0, seconds);
    }
    s << "Bridge underruns per minute: " << perMinute << "\r\n";
    s << "Non-finite samples replaced: " << engine.nonFiniteSamples.load() << "\r\n";
    return s.str();
}
}  // namespace

DiagnosticFacts GatherDiagnosticFacts() {
    DiagnosticFacts f;
    const bool stream = studioHost.asioAvailable && DriverHostExists();
    f.streamOpen = stream && IsDriverStreamOpen();
    f.streamRunning = stream && IsDriverStreamRunning();
    f.micLevel = std::clamp(engine.micPeak.load(), 0.0f, 1.0f);
    f.beatLevel = std::clamp(engine.cablePeak.load(), 0.0f, 1.0f);
    f.dropped = engine.recordFramesDropped.load();
    const AsioDriverEntry* driver = CurrentAsioDriver();
    f.deviceText = driver != nullptr ? driver->name : "Khong co";
    const auto& outputs = endpointLists.outputEndpoints;
    const int o = endpointLists.selectedOutputIndex;
    f.outputText = o >= 0 && static_cast<size_t>(o) < outputs.size() ? outputs[static_cast<size_t>(o)].name
                                                                     : "Khong co output ACTIVE";
    return f;
}

void SampleHealth() {
    const auto now = Clock::now();
    if (!health.empty() && now - health.back().at < std::chrono::seconds(1)) return;
    // Counters that went back (the engine started again) start a new minute.
    if (!health.empty() && engine.callbackFrames.load() < health.back().frames) health.clear();
    health.push_back({now, engine.callbackBusyNanos.load(), engine.callbackFrames.load(),
                      engine.callbackWorstNanos.exchange(0), engine.bridgeUnderruns.load()});
    if (health.size() > kMinuteOfSamples) health.pop_front();
}

std::string BuildDiagnosticReport(const ShellState& shell) {
    const DiagnosticFacts f = GatherDiagnosticFacts();
    const bool bridge = engine.micBridgeEnabled.load();
    std::ostringstream s;
    const auto line = [&s](const std::string& text) { s << text << "\r\n"; };
    line("SONAVELA DIAGNOSTIC REPORT");
    line("==========================");
    line(std::string("Mode: ") + (miniPlayerActive         ? "MINI / WASAPI"
                                  : engine.studioMode == 1 ? "STUDIO / BEAT ONLY / ASIO OUTPUT"
                                                           : "STUDIO / VOCAL+BEAT / ASIO"));
    line("ASIO device: " + f.deviceText);
    line(std::string("ASIO available: ") + YesNo(studioHost.asioAvailable));
    line(std::string("ASIO stream open: ") + YesNo(f.streamOpen));
    line(std::string("ASIO stream running: ") + YesNo(f.streamRunning));
    line("Sample rate: 48000 Hz");
    line("Buffer: " + std::to_string(studioHost.studioBufferFrames) + " samples");
    line("ASIO input channels: " + std::to_string(engine.inputChannels.load()));
    line(std::string("Mic source: ") + (bridge ? "WASAPI fallback" : "Native ASIO"));
    if (bridge) {
        line("WASAPI mic: " + micBridge.deviceName);
        line("WASAPI channels: " + std::to_string(micBridge.bridgeDeviceChannels.load()) +
             " | selected mode: " + std::to_string(micBridge.bridgeChannelMode.load()));
        line("WASAPI peak CH1/CH2: " + Float(micBridge.bridgePeakCh1.load()) + " / " +
             Float(micBridge.bridgePeakCh2.load()));
        line("Direct mic bridge buffered: " + std::to_string(engine.bridgeFillFrames.load()) + " samples");
        line("Direct mic captured samples: " + std::to_string(engine.bridgeFramesCaptured.load()));
        line("Direct mic consumed samples: " + std::to_string(engine.bridgeFramesConsumed.load()));
        line("Direct mic underrun blocks: " + std::to_string(engine.bridgeUnderruns.load()));
    }
    line("Mic mode: " + std::to_string(engine.micChannelMode.load() + 1));
    line("Raw mic peak: " + Float(f.micLevel * 100.0f) + "%");
    line(std::string("VB-CABLE ready: ") + YesNo(beatCapture.beatCaptureReady.load()));
    line("Raw beat peak: " + Float(f.beatLevel * 100.0f) + "%");
    line("Mini output: " + f.outputText);
    line(std::string("Mini profile: ") + (appConfig.miniOutputMode == 1 ? "Bluetooth Stable" : "Wired/HDMI Sync"));
    line(std::string("Recorder: ") + (engine.recorderActive.load() ? "RECORDING" : "IDLE"));
    line("Recorder dropped frames: " + std::to_string(f.dropped));
    line("ASIO status events: " + std::to_string(engine.callbackStatusEvents.load()));
    line("ASIO callback blocks: " + std::to_string(engine.callbackBlocks.load()));
    line(std::string("Config recovered at startup: ") + YesNo(configRecovered));
    line("Songs in library: " + std::to_string(songLibrary.songs.size()));
    line("User vocal presets: " + std::to_string(userPresets.size()));
    line("Current tone: " + Float(shell.toneSemitones) + " st");
    line("");
    line("Sonavela " SONAVELA_VERSION " (build " SONAVELA_BUILD_ID ")");
    s << MachineLines() << HealthLines();
    const std::vector<std::string> warnings = RecentWarnings();
    line("Last warnings:" + std::string(warnings.empty() ? " none" : ""));
    for (const std::string& w : warnings) line("  " + w);
    return s.str();
}

bool SaveDiagnosticReport(const std::string& report, std::string& path, std::string& reason) {
    const LocalTime t = LocalTimeNow();
    char stem[64];
    std::snprintf(stem, sizeof stem, "Sonavela_Diagnostic_%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    std::error_code unknown;
    for (int n = 1; n < 100; ++n) {
        const std::string name = std::string(stem) + (n == 1 ? "" : "_" + std::to_string(n)) + ".txt";
        path = DataFilePath(name.c_str());
        if (std::filesystem::exists(Utf8Path(path), unknown)) continue;
        if (WriteFileAtomically(path, report)) return true;
        reason = "khong ghi duoc " + path;
        return false;
    }
    reason = "qua nhieu bao cao trong cung mot giay";
    return false;
}
