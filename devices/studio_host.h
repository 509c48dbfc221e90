#pragma once
// The Studio stream's host: the low-latency drivers found at start-up, the
// one the stream runs on, and its channels and buffer. UI thread only.

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
    std::string backEnd;   // the audio system under it, for the diagnostic report
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

// The driver the Studio stream is on, or nullptr when none is chosen.
inline const AsioDriverEntry* CurrentAsioDriver() {
    const int i = studioHost.currentDriverIndex;
    return i >= 0 && static_cast<size_t>(i) < studioHost.asioDrivers.size()
               ? &studioHost.asioDrivers[static_cast<size_t>(i)]
               : nullptr;
}

enum class StudioBringUp { Running, NoDriver, OpenFailed };
// Start-up: probe, choose (the stored driver name wins when it is listed),
// open and start. Without a driver, or when the chosen one would not open
// (`openFailure` says why), Studio audio stays off.
StudioBringUp BringUpStudioAudio(std::string& openFailure);
// Turns the bridge source off, then closes the stream and drops the driver host.
void ShutDownStudioAudio();
