// The drivers are RtAudio's WASAPI devices, all of them generic: they reach
// the card through Windows' shared mixer, so the microphone comes through
// the Direct Mic Bridge and the card's own control panel does not apply.

#include "platform/rtaudio_host.h"
#include "platform/studio_driver.h"

std::vector<RtAudioBackEnd> OpenRtAudioBackEnds(std::string& reason) {
    std::vector<RtAudioBackEnd> backEnds;
    // A device that leaves may stop the stream without a word; the endpoint list tells.
    if (std::unique_ptr<RtAudio> wasapi = OpenRtAudioApi(RtAudio::WINDOWS_WASAPI);
        wasapi != nullptr && !RtAudioDevices(*wasapi).empty()) {
        backEnds.push_back({std::move(wasapi), true, true, 0});
    }
    if (backEnds.empty()) reason = "No sound driver answers: Windows Audio lists no device";
    return backEnds;
}

bool IsRtAudioDriver(RtAudio&, const RtAudio::DeviceInfo&) { return true; }

// Only an ASIO driver has a control panel of its own, and WASAPI devices are none.
bool DriverOffersCardControls(const std::string&) { return false; }
