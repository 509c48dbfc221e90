#pragma once
// The Studio driver host over RtAudio (platform/rtaudio_host.cpp) is the
// same on every system; each system's rtaudio_drivers.cpp says which of
// RtAudio's back-ends carry its drivers.

#include <RtAudio.h>

#include <memory>
#include <string>
#include <vector>

struct RtAudioBackEnd {
    std::unique_ptr<RtAudio> api;
    // Its devices reach the card through the desktop's sound server: the generic driver.
    bool generic = false;
    // A device it loses shows only as missing from the system's outputs.
    bool watchOutputs = false;
    // Above 0: RtAudio's buffer count caps the server's own buffer at about this many frames.
    unsigned int serverBufferFrames = 0;
};

// Per system: the back-ends that answer, in the order their drivers are
// listed; none, with the reason, when none does.
std::vector<RtAudioBackEnd> OpenRtAudioBackEnds(std::string& reason);
// Per system: whether a device of `api` stands for a driver.
bool IsRtAudioDriver(RtAudio& api, const RtAudio::DeviceInfo& device);

// For the per-system part: the back-end when RtAudio has it built in, else null.
std::unique_ptr<RtAudio> OpenRtAudioApi(RtAudio::Api api);
// The devices in RtAudio's current numbering; empty when the back-end does not answer.
std::vector<RtAudio::DeviceInfo> RtAudioDevices(RtAudio& api);
