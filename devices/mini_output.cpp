#include "devices/mini_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <system_error>
#include <vector>

#include "devices/beat_capture.h"
#include "devices/beat_pump.h"
#include "devices/device_choices.h"
#include "devices/endpoint_selection.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "engine/meters.h"
#include "platform/audio_endpoints.h"
#include "platform/thread_name.h"
#include "platform/thread_priority.h"

MiniOutput miniOutput;

namespace {
constexpr uint32_t kWiredBufferFrames = 1344;      // 28 ms
constexpr uint32_t kBluetoothBufferFrames = 3840;  // 80 ms
constexpr uint32_t kMaxPassFrames = 4096;

// Where to open: the asked endpoint when it is active, else the default, else
// the first; never the cable. Empty when nothing is left.
std::string ChooseEndpoint(const std::string& asked, std::string& reason) {
    std::vector<AudioEndpoint> outputs;
    std::string defaultId;
    if (!ListAudioEndpoints(EndpointFlow::Render, outputs, defaultId, reason)) return "";
    reason = "no output but the cable";
    std::string cable;
    for (const AudioEndpoint& e : outputs) {
        if (cable.empty() && IsCableName(e.name)) cable = e.id;
    }
    const auto usable = [&](const std::string& id) {
        if (id.empty() || id == cable) return false;
        return std::any_of(outputs.begin(), outputs.end(), [&](const AudioEndpoint& e) { return e.id == id; });
    };
    if (usable(asked)) return asked;
    if (usable(defaultId)) return defaultId;
    for (const AudioEndpoint& e : outputs) {
        if (usable(e.id)) return e.id;
    }
    return "";
}

float StoreSample(void* out, size_t index, const StreamFormat& format, float v) {
    if (format.sample == SampleFormat::Float32) {
        static_cast<float*>(out)[index] = v;
        return std::fabs(v);
    }
    const float clamped = std::clamp(v, -1.0f, 1.0f);
    static_cast<int16_t*>(out)[index] = static_cast<int16_t>(clamped * 32767.0f);
    return std::fabs(clamped);
}

// What one pass plays: as much of the ring as the device takes. A ring that
// cannot fill the device's space has run dry: what it holds is played and it
// is primed again, or every packet would go straight out and the device would
// run empty between them. While the ring has nothing to give, the pass waits
// for the next pump while the device still holds a quarter of its buffer, and
// then tops it up to that quarter with silence, so a late pump costs only the
// audio that is really missing.
bool TakeBeat(float* beat, uint32_t space, uint32_t bufferFrames, uint32_t& frames) {
    const auto available = static_cast<uint32_t>(BeatRingFill() / 2);
    frames = std::min(space, available);
    if (frames > 0 && ReadBeatRing(beat, 2 * static_cast<int64_t>(frames), BeatReader::Mini) > 0) {
        if (available < space) ReprimeBeatRing();
        return true;
    }
    const uint32_t reserveSpace = bufferFrames - bufferFrames / 4;
    if (space <= reserveSpace) return false;
    frames = space - reserveSpace;
    std::fill_n(beat, 2 * frames, 0.0f);
    miniOutput.silentPasses.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void MiniRenderThread(RenderStream* stream, StreamFormat format, uint32_t bufferFrames) {
    NameThisThread("sonavela-mini");
    RaiseThisThreadPriority();  // without it the beat still plays, only less safely under load
    std::vector<float> beat(2 * kMaxPassFrames);
    std::vector<uint8_t> out(size_t{kMaxPassFrames} * BytesPerFrame(format));
    while (miniOutput.running.load(std::memory_order_acquire)) {
        uint32_t space = 0;
        if (!RenderStreamSpace(stream, space)) break;
        if (space == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            continue;
        }
        uint32_t frames = 0;
        if (!TakeBeat(beat.data(), std::min(space, kMaxPassFrames), bufferFrames, frames)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            continue;
        }
        const float gain = engine.beatVolume.load(std::memory_order_relaxed);
        UpdateMeter(engine.beatPeak, RenderMiniFrames(beat.data(), frames, format, gain, out.data()));
        if (!WriteRenderStream(stream, out.data(), frames)) break;
        miniOutput.framesWritten.fetch_add(frames, std::memory_order_relaxed);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    if (miniOutput.running.exchange(false)) {
        miniOutput.streamLost.store(true);
        miniOutput.streamsLost.fetch_add(1);
    }
}

// Half the buffer of silence, so the device starts without an underrun.
bool PreRoll(RenderStream* stream, const StreamFormat& format, uint32_t bufferFrames) {
    const uint32_t n = bufferFrames < 5 ? bufferFrames : bufferFrames / 2;
    const std::vector<uint8_t> silence(size_t{n} * BytesPerFrame(format), 0);
    return n == 0 || WriteRenderStream(stream, silence.data(), n);
}

bool StartRenderThread() {
    miniOutput.running.store(true, std::memory_order_release);
    try {
        miniOutput.thread =
            std::thread(MiniRenderThread, miniOutput.stream, miniOutput.format, miniOutput.bufferFrames);
        return true;
    } catch (const std::system_error&) {
        miniOutput.running.store(false);
        return false;
    }
}
}  // namespace

float RenderMiniFrames(const float* beat, uint32_t frames, const StreamFormat& format, float gain, void* out) {
    const uint32_t channels = std::max(1u, format.channels);
    if (format.sample == SampleFormat::Other) {
        std::memset(out, 0, size_t{frames} * BytesPerFrame(format));
        return 0.0f;
    }
    const bool isFloat = format.sample == SampleFormat::Float32;
    float peak = 0.0f;
    for (uint32_t i = 0; i < frames; ++i) {
        float l = gain * beat[2 * i];
        float r = gain * beat[2 * i + 1];
        if (!isFloat) {
            l = std::clamp(l, -1.0f, 1.0f);
            r = std::clamp(r, -1.0f, 1.0f);
        }
        const float m = (l + r) * 0.5f;
        const size_t base = size_t{i} * channels;
        for (uint32_t c = 0; c < channels; ++c) {
            peak = std::max(peak, StoreSample(out, base + c, format, c == 0 ? l : c == 1 ? r : m));
        }
    }
    return peak;
}

void StopMiniOutput() {
    miniOutput.running.store(false, std::memory_order_release);
    if (miniOutput.thread.joinable()) miniOutput.thread.join();
    CloseRenderStream(miniOutput.stream);
    miniOutput.stream = nullptr;
    miniOutput.bufferFrames = 0;
    miniOutput.openedId.clear();
}

bool OpenMiniOutput(const std::string& endpointId, bool bluetooth) {
    const BeatPumpPause pause;  // the ring changes hands
    StopMiniOutput();
    std::string reason;
    const std::string target = ChooseEndpoint(endpointId, reason);
    if (target.empty()) {
        miniOutput.openError = reason;
        return false;
    }
    const uint32_t asked = bluetooth ? kBluetoothBufferFrames : kWiredBufferFrames;
    std::string opened;
    miniOutput.format = StreamFormat{};
    miniOutput.stream = OpenRenderStream(target, miniOutput.format, false, asked, opened, reason);
    if (miniOutput.stream == nullptr) {
        miniOutput.stream = OpenRenderStream(target, miniOutput.format, true, asked, opened, reason);
    }
    // The quarter the render thread keeps in the device is a quarter of what it really holds.
    const uint32_t granted = miniOutput.stream != nullptr ? RenderStreamBufferFrames(miniOutput.stream) : 0;
    const uint32_t bufferFrames = granted > 0 ? std::min(granted, asked) : asked;
    if (miniOutput.stream == nullptr || !PreRoll(miniOutput.stream, miniOutput.format, bufferFrames)) {
        StopMiniOutput();
        miniOutput.openError = miniOutput.stream == nullptr ? reason : "the output took no audio";
        return false;
    }
    miniOutput.bufferFrames = bufferFrames;
    miniOutput.openedId = opened;
    miniOutput.openError.clear();
    miniOutput.streamLost = false;
    // The thread reads only a ring it holds; a ring it holds already keeps its
    // beat, but fills to its target again before the device takes from it.
    if (!HoldsBeatRing(BeatReader::Mini)) HandBeatRingTo(BeatReader::Mini);
    // A primed ring first fills the device from its quarter (TakeBeat) to the top.
    SetBeatReaderTake(2 * static_cast<int32_t>(bufferFrames - bufferFrames / 4));
    ReprimeBeatRing();
    if (!StartRenderThread()) {
        StopMiniOutput();
        miniOutput.openError = "no thread to play with";
        return false;
    }
    return true;
}

bool OpenSelectedMiniOutput() {
    const BeatPumpPause pause;
    RefreshOutputEndpoints();
    const bool bluetooth = deviceChoices.miniOutputBluetooth;
    HandBeatRingTo(BeatReader::Mini);  // also empties it when another Mini output had it
    SetBeatPrefill(bluetooth ? 4800 : 1920);
    std::this_thread::sleep_for(std::chrono::milliseconds(180));
    const AudioEndpoint* selected = SelectedOutput();
    const bool ok = OpenMiniOutput(selected != nullptr ? selected->id : deviceChoices.miniOutputId, bluetooth);
    if (ok && !miniOutput.openedId.empty()) {
        deviceChoices.miniOutputId = miniOutput.openedId;
        deviceChoices.saveWanted = true;
        RefreshOutputEndpoints();
    }
    return ok;
}

bool IsMiniOutputRunning() { return miniOutput.running.load(std::memory_order_acquire); }
