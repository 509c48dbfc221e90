// The Windows audio platform under wine on the PulseAudio test server: its
// sinks and sources are the WASAPI endpoints. Sound is made and measured
// through WASAPI itself: a tone played into an endpoint, a loopback capture
// of what an output plays.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "devices/beat_capture.h"
#include "devices/mini_output.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "platform/audio_endpoints.h"
#include "platform/audio_streams.h"
#include "platform/studio_driver.h"
#include "tools/synth/signals.h"

namespace {
using namespace std::chrono_literals;

bool RunsOnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

const std::string kCable = "CABLE Input (VB-Audio Virtual Cable)";
const std::string kSpeakers = "Speakers (High Definition Audio)";
const std::string kK10 = "Speakers (XOX K10 Audio)";

std::string EndpointId(EndpointFlow flow, const std::string& name) {
    std::vector<AudioEndpoint> list;
    std::string defaultId, reason;
    EXPECT_TRUE(ListAudioEndpoints(flow, list, defaultId, reason)) << reason;
    const auto it = std::find_if(list.begin(), list.end(), [&](const AudioEndpoint& e) { return e.name == name; });
    return it != list.end() ? it->id : "";
}

// A 440 Hz tone at half scale played into an output until the player goes.
struct TonePlayer {
    std::atomic<bool> playing{true};
    std::thread thread;
    explicit TonePlayer(const std::string& name) {
        StreamFormat format;
        std::string opened, reason;
        RenderStream* stream =
            OpenRenderStream(EndpointId(EndpointFlow::Render, name), format, false, 4800, opened, reason);
        EXPECT_NE(stream, nullptr) << reason;
        thread = std::thread([this, stream] {
            std::vector<float> frames;
            for (unsigned at = 0, space = 0; stream != nullptr && playing && RenderStreamSpace(stream, space);) {
                frames.resize(2 * space);
                for (unsigned i = 0; i < space; ++i) {
                    frames[2 * i] = frames[2 * i + 1] =
                        0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * (at + i) / 48000));
                }
                if (!WriteRenderStream(stream, frames.data(), space)) break;
                at += space;
                std::this_thread::sleep_for(5ms);
            }
            CloseRenderStream(stream);
        });
    }
    ~TonePlayer() {
        playing = false;
        thread.join();
    }
};

// The left channel of what an output plays, running `enough` on it every 5 ms
// until it says so; at most 10 s, as a first stream on a new server starts late.
std::vector<float> RecordOutput(const std::string& name, const std::function<bool(const std::vector<float>&)>& enough) {
    std::string reason;
    CaptureStream* loopback = OpenCaptureStream(EndpointId(EndpointFlow::Render, name), true, {}, 4800, reason);
    EXPECT_NE(loopback, nullptr) << reason;
    std::vector<float> left;
    for (const auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
        if (enough(left)) break;
        const void* data = nullptr;
        uint32_t frames = 0;
        while (loopback != nullptr && PeekCapturePacket(loopback, data, frames) && frames > 0) {
            for (uint32_t i = 0; i < frames; ++i) left.push_back(data ? static_cast<const float*>(data)[2 * i] : 0.0f);
            ReleaseCapturePacket(loopback);
        }
        std::this_thread::sleep_for(5ms);
    }
    CloseCaptureStream(loopback);
    return left;
}

// The peak of the spectrum between 400 and 540 Hz, to 0.05 Hz: gaps and
// jumps of a stream under load widen a tone's peak but do not move it.
double HeardFrequency(const std::vector<float>& x, size_t from) {
    double best = 400.0;
    for (const double step : {1.0, 0.05}) {
        const double low = step == 1.0 ? 400.0 : best - 1.0, high = step == 1.0 ? 540.0 : best + 1.0;
        double strongest = -1.0;
        for (double hz = low; hz <= high; hz += step) {
            const double m = std::abs(ToneAt(x, hz, from, x.size()));
            if (m > strongest) strongest = m, best = hz;
        }
    }
    return best;
}

class WindowsAudio : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "no test server"; }
};

TEST_F(WindowsAudio, EndpointsAreTheServersDevicesWithItsDefaultsAndOpenOnlyInTheirOwnFlow) {
    for (const auto& [flow, names, expectedDefault] :
         {std::tuple{EndpointFlow::Render, std::vector{kCable, kSpeakers, kK10}, kSpeakers},
          std::tuple{EndpointFlow::Capture, std::vector<std::string>{"Microphone (USB Audio Device)"},
                     std::string("Microphone (USB Audio Device)")}}) {
        std::vector<AudioEndpoint> list;
        std::string defaultId, reason;
        ASSERT_TRUE(ListAudioEndpoints(flow, list, defaultId, reason)) << reason;
        for (const std::string& name : names) {
            EXPECT_TRUE(std::any_of(list.begin(), list.end(), [&](const AudioEndpoint& e) { return e.name == name; }))
                << name;
        }
        // Wine lists the server's default as an endpoint of its own that follows it.
        EXPECT_EQ(defaultId, EndpointId(flow, RunsOnWine() ? "PulseAudio" : expectedDefault));
        for (const AudioEndpoint& e : list)
            EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](auto& o) { return o.id == e.id; }), 1);
    }
    const std::string microphone = EndpointId(EndpointFlow::Capture, "Microphone (USB Audio Device)");
    uint32_t channels = 0;
    std::string reason;
    EXPECT_TRUE(CaptureEndpointChannels(microphone, channels, reason) && channels == 2) << reason;
    EXPECT_FALSE(CaptureEndpointChannels(EndpointId(EndpointFlow::Render, kSpeakers), channels, reason));
    EXPECT_EQ(OpenCaptureStream(microphone, true, {}, 4800, reason), nullptr) << "a loopback needs an output";
    EXPECT_NE(reason.find(microphone), std::string::npos) << reason;
    StreamFormat format;
    std::string opened;
    EXPECT_EQ(OpenRenderStream("{no such endpoint}", format, false, 1344, opened, reason), nullptr);
    RenderStream* fallback = OpenRenderStream("", format, true, 1344, opened, reason);
    ASSERT_NE(fallback, nullptr) << reason;
    EXPECT_EQ(opened, EndpointId(EndpointFlow::Render, RunsOnWine() ? "PulseAudio" : kSpeakers)) << "the default";
    EXPECT_TRUE(RenderStreamBufferFrames(fallback) >= 1344 * format.rate / 48000);
    CloseRenderStream(fallback);
}

// The tone played into the cable reaches the beat ring two semitones up;
// the Mini output plays the ring to the K10, heard on the K10's loopback.
TEST_F(WindowsAudio, AToneIntoTheCableComesOutOfTheBeatRoadTwoSemitonesUp) {
    for (const bool mini : {false, true}) {
        SCOPED_TRACE(mini ? "the Mini output on the K10" : "the beat ring");
        InitEngine(), InitBeatCapture();
        ASSERT_TRUE(OpenBeatCapture()) << beatCapture.openError;
        SetBeatTone(2.0f);
        ASSERT_TRUE(!mini || OpenMiniOutput(EndpointId(EndpointFlow::Render, kK10), false)) << miniOutput.openError;
        TonePlayer tone(kCable);
        std::vector<float> heard;
        const auto readRing = [&](const std::vector<float>& k10) {
            PumpBeat();
            std::vector<float> stereo(static_cast<size_t>(BeatRingFill() & ~int64_t{1}));
            if (!mini && ReadBeatRing(stereo.data(), static_cast<int64_t>(stereo.size()), BeatReader::Studio) > 0) {
                for (size_t i = 0; i < stereo.size(); i += 2) heard.push_back(stereo[i]);
            }
            return (mini ? k10.size() : heard.size()) >= 144000;
        };
        const std::vector<float> k10 = RecordOutput(kK10, readRing);
        if (mini) heard = k10;
        StopMiniOutput(), CloseBeatCapture(), SetBeatTone(0.0f);
        ASSERT_GT(heard.size(), 96000u);
        EXPECT_NEAR(HeardFrequency(heard, 48000), 493.88, 1.0);
    }
}

std::atomic<uint64_t> calls{0};
unsigned phase = 0;

int ToneCallback(void* output, void*, unsigned int frames, double, unsigned int, void*) {
    calls.fetch_add(1);
    for (unsigned i = 0; i < frames; ++i, ++phase) {
        const auto v = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 440.0 * phase / 48000.0));
        static_cast<float*>(output)[2 * i] = static_cast<float*>(output)[2 * i + 1] = v;
    }
    return 0;
}

// RtAudio's WASAPI devices are the Studio drivers here: generic, without card controls.
TEST_F(WindowsAudio, TheStudioStreamRunsOnAWasapiDeviceAndStopsForCertain) {
    std::vector<uint32_t> ids;
    std::string reason;
    ASSERT_TRUE(CreateDriverHost(reason) && ListDriverIds(ids, reason)) << reason;
    uint32_t speakers = static_cast<uint32_t>(ids.size());
    for (const uint32_t id : ids) {
        DriverInfo info;
        ASSERT_TRUE(GetDriverInfo(id, info, reason)) << reason;
        EXPECT_TRUE(info.generic && !DriverOffersCardControls(info.name) && info.backEnd == "WASAPI") << info.name;
        if (info.name == kSpeakers && info.outputChannels >= 2) speakers = id;
    }
    ASSERT_LT(speakers, ids.size()) << "no WASAPI output named " << kSpeakers;
    uint32_t frames = 256;
    ASSERT_TRUE(OpenDriverStream({speakers, 2, 0}, nullptr, 48000, frames, ToneCallback, reason) &&
                StartDriverStream(reason))
        << reason;
    const std::vector<float> heard =
        RecordOutput(kSpeakers, [](const std::vector<float>& x) { return x.size() >= 96000; });
    const bool failed = DriverStreamFailed(reason);
    EXPECT_TRUE(StopDriverStream(reason) && !IsDriverStreamRunning()) << reason;
    const uint64_t stopped = calls.load();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(calls.load(), stopped) << "the callback ran after the stop";
    CloseDriverStream();
    DestroyDriverHost();
    EXPECT_FALSE(failed) << reason;
    ASSERT_GT(heard.size(), 48000u);
    EXPECT_NEAR(HeardFrequency(heard, 24000), 440.0, 1.0);
}
}  // namespace
