#pragma once
// The Studio stream's host policy: which low-latency driver the Studio
// stream runs on, whether its inputs are used (Studio Mode, the K10 lock),
// the switches the panels ask for while audio runs, the restores when a
// switch fails, and where the microphone comes from. UI thread only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/studio_driver.h"

// Driver names are kept to this many bytes, cut between characters.
constexpr size_t kDriverNameBytes = 127;

struct AsioDriverEntry {
    uint32_t id = 0;
    std::string name;
    int inputChannels = 0;
    int outputChannels = 0;
    bool generic = false;  // reaches the card through the desktop's sound server
};

struct StudioHost {
    std::vector<AsioDriverEntry> asioDrivers;  // built once at start-up, in the host's order
    int currentDriverIndex = -1;
    uint32_t currentDeviceId = 0;
    DriverChannels studioOutputParams{0, 2, 0};
    DriverChannels studioInputParams{0, 0, 0};
    bool studioInputUsed = false;  // the stream opens duplex
    uint32_t studioBufferFrames = 128;
    bool asioAvailable = false;  // Studio audio usable
};

extern StudioHost studioHost;

// Rank for the automatic choice; a generic driver ranks as the generic one
// whatever its name says.
int DriverPreference(const std::string& driverName);
int DriverRank(const AsioDriverEntry& entry);
// A listed driver that reaches the card through the sound server.
bool IsListedGenericDriver(const std::string& driverName);

// Start-up: probe, choose, open and start; on failure Studio audio stays off.
void BringUpStudioAudio();
// Closes the stream and the bridge and drops the driver host.
void ShutDownStudioAudio();

// The input rule; sets or clears the input parameters and engine.inputChannels.
void BuildStudioInput(uint32_t driverId, const std::string& driverName, uint32_t driverInputs);
// Stop, close and reopen on studioOutputParams.deviceId with the input rule.
bool ReopenStudioStream();
// Opens with the current parameters and starts; a stream that opened but
// did not start is closed again, so a retry can open it.
bool OpenAndStartStudio(std::string& reason);
// Stop and close, each only when needed.
void CloseStudioStream();

// The microphone-source rule for the open driver.
void ApplyMicSourcePolicy(const std::string& driverName);

// The Studio Mode, buffer size and driver requests, taken once each, then
// the check for a stream whose device went away. Top of each frame.
void HandleHostRequests();

// The Mini Player takes over: a running stream is stopped (kept open).
void EnterMiniPlayerAudio();
// Back to Studio: the stream starts again, or the user is told why not.
void ReturnToStudioAudio();
