// The dedicated drivers (JACK when a server answers, else ALSA hardware)
// come first, then the PulseAudio devices as the generic driver.

#include "platform/rtaudio_host.h"
#include "platform/studio_driver.h"

namespace {
// Left alone, RtAudio lets the sound server buffer about 130 ms of a
// playback stream: far too late to hear oneself sing. Its buffer count caps
// the server's buffer at about this many frames instead.
constexpr unsigned int kPulseBufferFrames = 1024;

bool IsAlsaHardware(const std::string& name) { return name.rfind("hw:", 0) == 0; }

// JACK when a server answers; otherwise ALSA when it has hardware of its own
// ("default" and the other plugins go through the sound server).
std::unique_ptr<RtAudio> OpenNativeApi() {
    if (std::unique_ptr<RtAudio> jack = OpenRtAudioApi(RtAudio::UNIX_JACK);
        jack != nullptr && !RtAudioDevices(*jack).empty()) {
        return jack;
    }
    std::unique_ptr<RtAudio> alsa = OpenRtAudioApi(RtAudio::LINUX_ALSA);
    if (alsa == nullptr) return nullptr;
    for (const RtAudio::DeviceInfo& device : RtAudioDevices(*alsa)) {
        if (IsAlsaHardware(device.name)) return alsa;
    }
    return nullptr;
}
}  // namespace

std::vector<RtAudioBackEnd> OpenRtAudioBackEnds(std::string& reason) {
    std::vector<RtAudioBackEnd> backEnds;
    if (std::unique_ptr<RtAudio> native = OpenNativeApi()) backEnds.push_back({std::move(native), false, false, 0});
    // The sound server moves a stream whose sink left without a word; JACK and ALSA report a lost device.
    if (std::unique_ptr<RtAudio> pulse = OpenRtAudioApi(RtAudio::LINUX_PULSE);
        pulse != nullptr && !RtAudioDevices(*pulse).empty()) {
        backEnds.push_back({std::move(pulse), true, true, kPulseBufferFrames});
    }
    if (backEnds.empty())
        reason = "No sound driver answers: no JACK server, no ALSA sound card and no PulseAudio server";
    return backEnds;
}

// ALSA lists its plugins too; they reach the card through the sound server.
bool IsRtAudioDriver(RtAudio& api, const RtAudio::DeviceInfo& device) {
    return api.getCurrentApi() != RtAudio::LINUX_ALSA || IsAlsaHardware(device.name);
}

// Every listed driver stands in for a sound card's own.
bool DriverOffersCardControls(const std::string&) { return true; }
