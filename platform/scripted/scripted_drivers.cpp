// The driver host as a test scripts it. It refuses what the real host
// refuses: a second open while a stream is open, a start with none open.

#include <vector>

#include "platform/scripted/scripted_platform.h"
#include "platform/studio_driver.h"

namespace {
ScriptedDriverHost& Host() { return scripted.driverHost; }

bool Refuse(const char* why, std::string& reason) {
    reason = why;
    return false;
}

ScriptedDriver* FindDriver(uint32_t id, std::string& reason) {
    if (!Host().exists) {
        Refuse("scripted: no driver host", reason);
        return nullptr;
    }
    if (id >= Host().drivers.size()) {
        reason = "scripted: no driver with id " + std::to_string(id);
        return nullptr;
    }
    return &Host().drivers[id];
}

// The scripted error, while it still has failures to give.
bool Fails(const std::string& error, int& failures, std::string& reason) {
    if (error.empty() || failures == 0) return false;
    if (failures > 0) --failures;
    reason = error;
    return true;
}
}  // namespace

bool CreateDriverHost(std::string& reason) {
    if (Host().createFails) {
        reason = Host().createError;
        return false;
    }
    Host().exists = true;
    return true;
}

void DestroyDriverHost() {
    CloseDriverStream();
    Host().exists = false;
}

// The Windows rule, so the tests see the button come and go.
bool DriverOffersCardControls(const std::string& name) { return name.find("ASIO") != std::string::npos; }

bool DriverHostExists() { return Host().exists; }

bool ListDriverIds(std::vector<uint32_t>& ids, std::string& reason) {
    ids.clear();
    if (!Host().exists) return Refuse("scripted: no driver host", reason);
    if (Host().listFails) {
        reason = Host().listError;
        return false;
    }
    for (uint32_t id = 0; id < Host().drivers.size(); ++id) ids.push_back(id);
    return true;
}

bool GetDriverInfo(uint32_t id, DriverInfo& info, std::string& reason) {
    ScriptedDriver* driver = FindDriver(id, reason);
    if (driver == nullptr) return false;
    if (driver->probeFails) {
        reason = driver->probeError;
        return false;
    }
    info = DriverInfo{driver->name, driver->inputs, driver->outputs, driver->generic, "scripted"};
    return true;
}

bool OpenDriverStream(const DriverChannels& output, const DriverChannels* input, uint32_t sampleRate,
                      uint32_t& bufferFrames, DriverCallback callback, std::string& reason) {
    ScriptedDriver* driver = FindDriver(output.deviceId, reason);
    if (driver == nullptr) return false;
    if (Host().open) return Refuse("scripted: a stream is already open", reason);
    std::string call = "open " + std::to_string(output.deviceId);
    if (input != nullptr) call += " in " + std::to_string(input->nChannels);
    Host().calls.push_back(call + " " + std::to_string(bufferFrames));
    if (Fails(driver->openError, driver->openFailures, reason)) return false;
    if (sampleRate != 48000 || output.nChannels > driver->outputs ||
        (input != nullptr && input->nChannels > driver->inputs))
        return Refuse("scripted: parameters the driver does not take", reason);
    if (driver->grantedFrames != 0) bufferFrames = driver->grantedFrames;
    Host().open = true;
    Host().output = output;
    Host().hasInput = input != nullptr;
    Host().input = input != nullptr ? *input : DriverChannels{};
    Host().bufferFrames = bufferFrames;
    Host().callback = callback;
    Host().failed = false;
    return true;
}

bool StartDriverStream(std::string& reason) {
    if (!Host().open) return Refuse("scripted: no stream is open", reason);
    Host().calls.push_back("start " + std::to_string(Host().output.deviceId));
    ScriptedDriver& driver = Host().drivers[Host().output.deviceId];
    if (Fails(driver.startError, driver.startFailures, reason)) return false;
    Host().running = true;
    return true;
}

bool StopDriverStream(std::string&) {
    if (Host().running) Host().calls.push_back("stop");
    Host().running = false;
    return true;
}

void CloseDriverStream() {
    if (!Host().open) return;
    Host().running = false;
    Host().open = false;
    Host().calls.push_back("close");
}

bool IsDriverStreamOpen() { return Host().open; }
bool IsDriverStreamRunning() { return Host().running; }

bool DriverStreamFailed(std::string& reason) {
    if (!Host().running || !Host().failed) return false;
    reason = Host().failReason;
    return true;
}

bool RunScriptedDriverBlocks(int blocks) {
    if (!Host().running || Host().failed) return false;
    const uint32_t frames = Host().bufferFrames;
    std::vector<float> out(frames * Host().output.nChannels);
    std::vector<float> in(frames * (Host().hasInput ? Host().input.nChannels : 0));
    for (int b = 0; b < blocks; ++b)
        Host().callback(out.data(), Host().hasInput ? in.data() : nullptr, frames, 0.0, 0, nullptr);
    return true;
}
