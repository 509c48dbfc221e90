// The drivers are RtAudio devices of the back-ends the system's
// rtaudio_drivers.cpp opens, in its order. RtAudio renumbers devices as
// they come and go, so an id names a device and is looked up by name at
// each use.

#include "platform/rtaudio_host.h"

#include <RtAudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio_endpoints.h"
#include "platform/console.h"
#include "platform/studio_driver.h"

namespace {
using Clock = std::chrono::steady_clock;

// A run of failed writes this long is a dead connection, not a hiccup.
constexpr uint32_t kFailedWriteRun = 16;
// Throttles the callback thread of a dead connection, which fails every write at once.
constexpr auto kFailedWriteNap = std::chrono::milliseconds(5);
// Listing the sinks costs a round trip to the server: look at most this often.
constexpr auto kPresenceCheckPeriod = std::chrono::milliseconds(500);
constexpr auto kCallbackExitLimit = std::chrono::seconds(2);

struct DriverEntry {
    const RtAudioBackEnd* backEnd = nullptr;
    std::string name;
};

struct DriverHost {
    std::vector<RtAudioBackEnd> backEnds;
    std::vector<DriverEntry> drivers;
    bool listed = false;
    // The stream as the product sees it; RtAudio may stop or close it by itself when it fails.
    const RtAudioBackEnd* streamBackEnd = nullptr;
    std::string streamDevice;
    bool started = false;
    Clock::time_point lastPresenceCheck;
};

// What the audio thread and RtAudio's error callback share with the UI thread.
struct DriverSignals {
    std::atomic<DriverCallback> callback{nullptr};
    std::atomic<uint32_t> outputChannels{0};
    std::atomic<bool> enabled{false};
    std::atomic<bool> inCallback{false};
    std::atomic<uint64_t> calls{0};
    std::atomic<bool> failed{false};
    std::atomic<uint32_t> errorSerial{0};
    // Callback thread only.
    uint64_t lastFailedWriteCall = 0;
    uint32_t failedWriteRun = 0;
    // Guards the texts; taken on the error path only.
    std::mutex textMutex;
    char errorText[256] = {};
    char failureText[256] = {};
};

// The signals outlive the host: RtAudio may still report while it is torn down at exit.
DriverSignals driverSignals;
DriverHost driverHost;

void CopyText(char (&to)[256], const std::string& text) {
    std::lock_guard<std::mutex> lock(driverSignals.textMutex);
    std::snprintf(to, sizeof to, "%s", text.c_str());
}

std::string ReadText(const char (&from)[256]) {
    std::lock_guard<std::mutex> lock(driverSignals.textMutex);
    return from;
}

void FailStream(const std::string& text) {
    CopyText(driverSignals.failureText, text);
    driverSignals.failed.store(true);
}

bool IsFailedWrite(const std::string& text) { return text.find("write error") != std::string::npos; }

void NoteFailedWrite(const std::string& text) {
    DriverSignals& s = driverSignals;
    const uint64_t call = s.calls.load(std::memory_order_relaxed);
    s.failedWriteRun = call == s.lastFailedWriteCall + 1 ? s.failedWriteRun + 1 : 1;
    s.lastFailedWriteCall = call;
    if (s.failedWriteRun == kFailedWriteRun) FailStream(text);
    if (s.failedWriteRun >= kFailedWriteRun) std::this_thread::sleep_for(kFailedWriteNap);
}

// Once a stream is open RtAudio reports here instead of throwing, from any thread.
void OnRtAudioError(RtAudioError::Type type, const std::string& text) {
    if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING) {
        const bool failedWrite = IsFailedWrite(text);
        if (failedWrite) NoteFailedWrite(text);
        if (!failedWrite || driverSignals.failedWriteRun < kFailedWriteRun) Console("[WARN] " + text + "\n");
        return;
    }
    CopyText(driverSignals.errorText, text);
    driverSignals.errorSerial.fetch_add(1);
    if (driverSignals.enabled.load()) FailStream(text);
}

// Stands between RtAudio and the product's callback so that a stop is
// certain (RtAudio may still be inside a cycle when its stop returns) and a
// failed stream plays silence wherever its server moved it.
int Trampoline(void* output, void* input, unsigned int frames, double time, unsigned int status, void*) {
    DriverSignals& s = driverSignals;
    s.inCallback.store(true);
    s.calls.fetch_add(1, std::memory_order_relaxed);
    int result = 0;
    if (s.enabled.load() && !s.failed.load(std::memory_order_relaxed)) {
        result = s.callback.load(std::memory_order_relaxed)(output, input, frames, time, status, nullptr);
    } else if (output != nullptr) {
        std::memset(output, 0, size_t{frames} * s.outputChannels.load(std::memory_order_relaxed) * sizeof(float));
    }
    s.inCallback.store(false);
    return result;
}

// Runs one RtAudio call; false with the reason when it threw or reported an error.
template <typename Call>
bool Guarded(Call&& call, std::string& reason) {
    const uint32_t serial = driverSignals.errorSerial.load();
    try {
        call();
    } catch (const RtAudioError& e) {
        reason = e.getMessage();
        return false;
    } catch (const std::exception& e) {
        reason = e.what();
        return false;
    }
    if (driverSignals.errorSerial.load() == serial) return true;
    reason = ReadText(driverSignals.errorText);
    return false;
}

void AddDrivers(const RtAudioBackEnd& backEnd) {
    for (const RtAudio::DeviceInfo& device : RtAudioDevices(*backEnd.api)) {
        if (IsRtAudioDriver(*backEnd.api, device)) driverHost.drivers.push_back({&backEnd, device.name});
    }
}

// The device's current RtAudio index and its details.
bool FindDevice(RtAudio& api, const std::string& name, unsigned int& index, RtAudio::DeviceInfo& info) {
    bool found = false;
    std::string ignored;
    Guarded(
        [&] {
            const unsigned int count = api.getDeviceCount();
            for (unsigned int i = 0; i < count && !found; ++i) {
                info = api.getDeviceInfo(i);
                found = info.name == name;
                index = i;
            }
        },
        ignored);
    return found;
}

bool ResolveDriver(uint32_t id, const DriverEntry*& entry, unsigned int& index, RtAudio::DeviceInfo& info,
                   std::string& reason) {
    if (id >= driverHost.drivers.size()) {
        reason =
            "No driver with id " + std::to_string(id) + " (" + std::to_string(driverHost.drivers.size()) + " listed)";
        return false;
    }
    entry = &driverHost.drivers[id];
    if (FindDevice(*entry->backEnd->api, entry->name, index, info)) return true;
    reason = "Device not found: " + entry->name;
    return false;
}

void PrepareSignals(DriverCallback callback, uint32_t outputChannels) {
    DriverSignals& s = driverSignals;
    s.enabled.store(false);
    s.failed.store(false);
    s.callback.store(callback);
    s.outputChannels.store(outputChannels);
    s.calls.store(0);
    s.lastFailedWriteCall = 0;
    s.failedWriteRun = 0;
}

bool WaitForCallbackExit() {
    const Clock::time_point limit = Clock::now() + kCallbackExitLimit;
    while (driverSignals.inCallback.load()) {
        if (Clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A sound server may move a stream whose output left to another output and
// say nothing: only its list of outputs tells. The system is asked
// directly, as RtAudio 5.2 leaks a little at each of its listings.
bool StreamOutputListed(std::string& reason) {
    if (!driverHost.streamBackEnd->watchOutputs) return true;
    const Clock::time_point now = Clock::now();
    if (now - driverHost.lastPresenceCheck < kPresenceCheckPeriod) return true;
    driverHost.lastPresenceCheck = now;
    std::vector<AudioEndpoint> sinks;
    std::string defaultId;
    if (!ListAudioEndpoints(EndpointFlow::Render, sinks, defaultId, reason)) return false;
    for (const AudioEndpoint& sink : sinks) {
        if (sink.name == driverHost.streamDevice) return true;
    }
    reason = "Device not found: " + driverHost.streamDevice;
    return false;
}
}  // namespace

std::unique_ptr<RtAudio> OpenRtAudioApi(RtAudio::Api api) {
    std::string ignored;
    std::unique_ptr<RtAudio> instance;
    // RtAudio falls back to another API when the one asked for is not built in.
    if (!Guarded([&] { instance = std::make_unique<RtAudio>(api); }, ignored) || instance->getCurrentApi() != api) {
        return nullptr;
    }
    return instance;
}

std::vector<RtAudio::DeviceInfo> RtAudioDevices(RtAudio& api) {
    std::vector<RtAudio::DeviceInfo> devices;
    std::string ignored;
    Guarded(
        [&] {
            const unsigned int count = api.getDeviceCount();
            for (unsigned int i = 0; i < count; ++i) devices.push_back(api.getDeviceInfo(i));
        },
        ignored);
    return devices;
}

bool CreateDriverHost(std::string& reason) {
    if (DriverHostExists()) return true;
    driverHost.backEnds = OpenRtAudioBackEnds(reason);
    return DriverHostExists();
}

void DestroyDriverHost() {
    CloseDriverStream();
    driverHost = DriverHost{};
}

bool DriverHostExists() { return !driverHost.backEnds.empty(); }

bool ListDriverIds(std::vector<uint32_t>& ids, std::string& reason) {
    ids.clear();
    if (!DriverHostExists()) {
        reason = "No driver host";
        return false;
    }
    if (!driverHost.listed) {
        for (const RtAudioBackEnd& backEnd : driverHost.backEnds) AddDrivers(backEnd);
        driverHost.listed = true;
    }
    for (uint32_t id = 0; id < driverHost.drivers.size(); ++id) ids.push_back(id);
    return true;
}

bool GetDriverInfo(uint32_t id, DriverInfo& info, std::string& reason) {
    const DriverEntry* entry = nullptr;
    unsigned int index = 0;
    RtAudio::DeviceInfo device;
    if (!ResolveDriver(id, entry, index, device, reason)) return false;
    info.name = entry->name;
    info.inputChannels = device.inputChannels;
    info.outputChannels = device.outputChannels;
    info.generic = entry->backEnd->generic;
    info.backEnd = RtAudio::getApiDisplayName(entry->backEnd->api->getCurrentApi());
    return true;
}

bool OpenDriverStream(const DriverChannels& output, const DriverChannels* input, uint32_t sampleRate,
                      uint32_t& bufferFrames, DriverCallback callback, std::string& reason) {
    if (IsDriverStreamOpen()) {
        reason = "A driver stream is already open";
        return false;
    }
    if (input != nullptr && input->deviceId != output.deviceId) {
        reason = "The input must be on the output's driver";
        return false;
    }
    const DriverEntry* entry = nullptr;
    unsigned int index = 0;
    RtAudio::DeviceInfo device;
    if (!ResolveDriver(output.deviceId, entry, index, device, reason)) return false;
    RtAudio::StreamParameters out{index, output.nChannels, output.firstChannel};
    RtAudio::StreamParameters in{index, input != nullptr ? input->nChannels : 0,
                                 input != nullptr ? input->firstChannel : 0};
    PrepareSignals(callback, output.nChannels);
    unsigned int frames = bufferFrames;
    const RtAudioBackEnd* backEnd = entry->backEnd;
    RtAudio* api = backEnd->api.get();
    RtAudio::StreamOptions options;
    options.numberOfBuffers = std::max(2u, (backEnd->serverBufferFrames + frames - 1) / std::max(1u, frames));
    RtAudio::StreamOptions* serverBuffer = backEnd->serverBufferFrames > 0 ? &options : nullptr;
    const bool opened = Guarded(
        [&] {
            api->openStream(&out, input != nullptr ? &in : nullptr, RTAUDIO_FLOAT32, sampleRate, &frames, Trampoline,
                            nullptr, serverBuffer, OnRtAudioError);
        },
        reason);
    if (!opened || !api->isStreamOpen()) {
        if (opened) reason = "The driver did not open the stream";
        return false;
    }
    bufferFrames = frames;
    driverHost.streamBackEnd = backEnd;
    driverHost.streamDevice = entry->name;
    return true;
}

bool StartDriverStream(std::string& reason) {
    if (!IsDriverStreamOpen()) {
        reason = "No driver stream is open";
        return false;
    }
    if (driverHost.started) return true;
    driverSignals.failed.store(false);
    driverSignals.enabled.store(true);
    RtAudio* api = driverHost.streamBackEnd->api.get();
    if (!Guarded([api] { api->startStream(); }, reason)) {
        driverSignals.enabled.store(false);
        return false;
    }
    driverHost.started = true;
    driverHost.lastPresenceCheck = Clock::now();
    return true;
}

bool StopDriverStream(std::string& reason) {
    if (!IsDriverStreamRunning()) return true;
    driverSignals.enabled.store(false);
    driverHost.started = false;
    RtAudio* api = driverHost.streamBackEnd->api.get();
    const bool stopped = Guarded(
        [api] {
            if (api->isStreamRunning()) api->stopStream();
        },
        reason);
    if (WaitForCallbackExit()) return stopped;
    reason = "The stream's callback did not return";
    return false;
}

void CloseDriverStream() {
    if (!IsDriverStreamOpen()) return;
    std::string ignored;
    StopDriverStream(ignored);
    RtAudio* api = driverHost.streamBackEnd->api.get();
    Guarded(
        [api] {
            if (api->isStreamOpen()) api->closeStream();
        },
        ignored);
    driverHost.streamBackEnd = nullptr;
    driverHost.streamDevice.clear();
}

// Both follow the product's calls: a stream that RtAudio stopped or closed by
// itself stays open and running, failed, until the product closes it.
bool IsDriverStreamOpen() { return driverHost.streamBackEnd != nullptr; }
bool IsDriverStreamRunning() { return driverHost.started; }

bool DriverStreamFailed(std::string& reason) {
    if (!driverHost.started) return false;
    if (!driverSignals.failed.load() && !driverHost.streamBackEnd->api->isStreamRunning()) {
        FailStream("The driver stopped the stream: " + driverHost.streamDevice);
    }
    if (std::string text; !driverSignals.failed.load() && !StreamOutputListed(text)) FailStream(text);
    if (!driverSignals.failed.load()) return false;
    reason = ReadText(driverSignals.failureText);
    return true;
}
