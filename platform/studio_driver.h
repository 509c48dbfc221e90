#pragma once
// The low-latency sound card drivers the Studio stream runs on, in the
// result-and-reason form the host policy uses: no call raises an error.
// One driver host and at most one stream per process; UI thread only (the
// callback runs on the driver's own thread).

#include <cstdint>
#include <string>
#include <vector>

struct DriverInfo {
    std::string name;
    uint32_t inputChannels = 0;
    uint32_t outputChannels = 0;
    // Reaches the card through the desktop's sound server: the generic
    // driver, on which the microphone comes through the Direct Mic Bridge.
    bool generic = false;
    std::string backEnd;  // the audio system it runs on ("JACK", "ALSA", ...), for support
};

struct DriverChannels {
    uint32_t deviceId = 0;
    uint32_t nChannels = 0;
    uint32_t firstChannel = 0;
};

// The Studio callback's form: output, input, frames, stream time, status, user data.
using DriverCallback = int (*)(void*, void*, unsigned int, double, unsigned int, void*);

// False with the reason when no driver back-end can be used at all.
bool CreateDriverHost(std::string& reason);
// Closes any stream, then drops the host.
void DestroyDriverHost();
bool DriverHostExists();
// Whether the card's own control panel and the restore button apply to the
// driver: on Windows the ASIO drivers, which say so in their names; on Linux
// every listed driver stands in for one.
bool DriverOffersCardControls(const std::string& name);

// Every driver id, in the host's order; ids stay valid for the whole run.
bool ListDriverIds(std::vector<uint32_t>& ids, std::string& reason);
bool GetDriverInfo(uint32_t id, DriverInfo& info, std::string& reason);

// 32-bit float interleaved, no options. bufferFrames is asked for and set
// to what the driver granted. Without input the stream is output-only.
bool OpenDriverStream(const DriverChannels& output, const DriverChannels* input, uint32_t sampleRate,
                      uint32_t& bufferFrames, DriverCallback callback, std::string& reason);
bool StartDriverStream(std::string& reason);
// Returns once the callback has stopped for certain.
bool StopDriverStream(std::string& reason);
void CloseDriverStream();
bool IsDriverStreamOpen();
bool IsDriverStreamRunning();
// The running stream's device failed (gone, server gone): it delivers
// nothing until it is closed and opened again. The reason says why.
bool DriverStreamFailed(std::string& reason);
