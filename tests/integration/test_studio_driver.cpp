// The platform layer on real servers: endpoint lists as pactl sees them, and RtAudio on them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/audio_endpoints.h"
#include "platform/studio_driver.h"
#include "tests/support/private_server.h"

namespace {
using namespace std::chrono_literals;

TEST(PulseServer, EndpointsAreThePactlListWithItsDefaultsOrAReasonWhenNoServerAnswers) {
    ASSERT_TEST_SERVER();
    TemporarySink sink("Loa_Tam", "Loa tạm thời");  // a name as it was given, not only ASCII
    for (const auto& [flow, kind, expectedDefault] : {std::tuple{EndpointFlow::Render, "sink", "Speakers_Builtin"},
                                                      std::tuple{EndpointFlow::Capture, "source", "USB_Mic"}}) {
        SCOPED_TRACE(kind);
        std::vector<AudioEndpoint> list;
        std::string defaultId, reason;
        ASSERT_TRUE(ListAudioEndpoints(flow, list, defaultId, reason)) << reason;
        EXPECT_EQ(defaultId, ShellWord(std::string("pactl get-default-") + kind));
        EXPECT_EQ(defaultId, expectedDefault);
        std::string ids, names;  // in pactl's order; the sources include the sinks' monitors
        for (const AudioEndpoint& e : list) ids += e.id + "\n", names += e.name + "\n";
        EXPECT_EQ(ids, Shell(std::string("pactl list short ") + kind + "s | cut -f2"));
        EXPECT_EQ(names, Shell(std::string("LC_ALL=C pactl list ") + kind + "s | sed -n 's/^\\s*Description: //p'"));
    }
    ScopedEnv env;  // no server there: a reason, and nothing stale kept
    env.Set("PULSE_SERVER", "unix:/nonexistent/sonavela/native");
    std::vector<AudioEndpoint> list{{"stale", "stale"}};
    std::string defaultId = "stale", reason;
    EXPECT_FALSE(ListAudioEndpoints(EndpointFlow::Render, list, defaultId, reason));
    EXPECT_TRUE(list.empty() && defaultId.empty());
    EXPECT_NE(reason.find("sound server"), std::string::npos) << reason;
}

std::atomic<uint64_t> calls{0}, nullInputs{0};

int CountingCallback(void* output, void* input, unsigned int frames, double, unsigned int, void*) {
    calls.fetch_add(1), nullInputs.fetch_add(input == nullptr ? 1 : 0);
    std::fill_n(static_cast<float*>(output), frames * 2, 0.0f);
    return 0;
}

bool Open(uint32_t output, uint32_t input, bool duplex, uint32_t& frames, std::string& reason) {
    const DriverChannels out{output, 2, 0}, in{input, 2, 0};
    return OpenDriverStream(out, duplex ? &in : nullptr, 48000, frames, CountingCallback, reason);
}

// Opens and starts a stream of `asked` frames and counts its calls for two seconds.
void RunStream(uint32_t id, bool duplex, uint32_t asked, uint32_t granted, uint64_t fewest, uint64_t most) {
    uint32_t frames = asked;
    std::string reason;
    EXPECT_TRUE(Open(id, id, duplex, frames, reason) && StartDriverStream(reason)) << reason;
    EXPECT_TRUE(IsDriverStreamOpen() && IsDriverStreamRunning());
    EXPECT_EQ(frames, granted) << asked << " frames asked";
    EXPECT_EQ(nullInputs.load(), duplex ? 0 : calls.load()) << "only a duplex callback gets the input";
    const uint64_t before = calls.load();
    std::this_thread::sleep_for(2000ms);
    EXPECT_TRUE(calls - before > fewest && calls - before < most) << calls - before << " calls at " << frames;
}

// Stop and close return, also on a stream failed (saying why) by its device's end; then no more calls.
void StopAndClose(const char* failedNaming = nullptr) {
    std::string reason;
    for (int i = 0; failedNaming && i < 500 && !DriverStreamFailed(reason); ++i) std::this_thread::sleep_for(10ms);
    const std::string naming = failedNaming != nullptr ? failedNaming : "";
    EXPECT_TRUE(failedNaming == nullptr ||
                (DriverStreamFailed(reason) && reason.find(naming) != std::string::npos && !reason.empty()))
        << reason;
    const bool stopped = StopDriverStream(reason);
    EXPECT_TRUE(stopped || (failedNaming != nullptr && !reason.empty())) << reason;
    EXPECT_FALSE(IsDriverStreamRunning());
    const uint64_t before = calls.load();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(calls.load(), before) << "the callback ran after the stop";
    CloseDriverStream();
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_FALSE(DriverStreamFailed(reason));
}

class StudioDriverRoad : public ::testing::Test {
protected:
    std::vector<DriverInfo> drivers;
    void SetUp() override {
        calls = nullInputs = 0;
        ASSERT_TEST_SERVER();
    }
    void TearDown() override { DestroyDriverHost(); }
    void CreateHostAndListDrivers() {
        std::vector<uint32_t> ids;
        std::string reason;
        ASSERT_TRUE(CreateDriverHost(reason) && DriverHostExists() && ListDriverIds(ids, reason)) << reason;
        drivers.resize(ids.size());
        for (uint32_t i = 0; i < ids.size(); ++i) {
            EXPECT_EQ(ids[i], i) << "ids are 0..n-1";
            EXPECT_TRUE(GetDriverInfo(i, drivers[i], reason)) << reason;
        }
    }
    uint32_t Id(const std::string& name) const {
        const auto it =
            std::find_if(drivers.begin(), drivers.end(), [&](const DriverInfo& d) { return d.name == name; });
        EXPECT_NE(it, drivers.end()) << "no driver named " << name;
        return static_cast<uint32_t>(it - drivers.begin());
    }
};

TEST_F(StudioDriverRoad, GenericDriversComeLastAndTheirStreamsRunStopReopenAndFailWhenTheirSinkGoesAway) {
    TemporarySink sink("Tam", "Loa tam thoi");
    CreateHostAndListDrivers();
    ASSERT_FALSE(drivers.empty());
    EXPECT_EQ(drivers[0].name == "system", std::getenv("SONAVELA_JACK") != nullptr);
    EXPECT_TRUE(std::is_partitioned(drivers.begin(), drivers.end(), [](const DriverInfo& d) { return !d.generic; }));
    for (const auto& [name, inputs] : {std::pair{"CABLE Input (VB-Audio Virtual Cable)", 0u},  // sinks: two outputs
                                       std::pair{"Microphone (USB Audio Device)", 2u},         // sources: two inputs
                                       std::pair{"Monitor of CABLE Input (VB-Audio Virtual Cable)", 2u}}) {
        const DriverInfo& d = drivers.at(Id(name));
        EXPECT_TRUE(d.generic && d.inputChannels == inputs && d.outputChannels == 2 - inputs) << name;
    }
    const uint32_t gone = Id("Loa tam thoi"), speakers = Id("Speakers (High Definition Audio)");
    const uint32_t microphone = Id("Microphone (USB Audio Device)");
    const uint32_t count = static_cast<uint32_t>(drivers.size());
    RunStream(speakers, false, 128, 128, 150, 3000);  // the sound server keeps no card's block clock: a wide range
    StopAndClose();
    RunStream(gone, false, 256, 256, 75, 1500);
    sink.Unload();
    StopAndClose("Loa tam thoi");

    std::string reason;
    const auto expectFailure = [&](bool ok, const std::string& naming) {
        EXPECT_FALSE(ok || reason.empty());
        EXPECT_NE(reason.find(naming), std::string::npos) << reason;
        reason.clear();
    };
    DriverInfo info;
    uint32_t frames = 128;
    expectFailure(GetDriverInfo(count, info, reason), "");
    expectFailure(Open(count, count, false, frames, reason), "");
    expectFailure(GetDriverInfo(gone, info, reason), "Loa tam thoi");
    expectFailure(Open(gone, gone, false, frames, reason), "Loa tam thoi");
    expectFailure(Open(speakers, microphone, true, frames, reason), "");
    expectFailure(StartDriverStream(reason), "");
    EXPECT_FALSE(IsDriverStreamOpen());
    std::vector<uint32_t> ids;
    EXPECT_TRUE(ListDriverIds(ids, reason) && ids.size() == count) << "ids keep their meaning after a device left";
    RunStream(speakers, false, 128, 128, 150, 3000);
    StopAndClose();
}

// On a JACK server of the test's own, a child that is reaped: a zombie keeps its slot in JACK's registry.
TEST_F(StudioDriverRoad, JackDuplexRunsAtTheCardsRateAndFailsWhenTheServerGoesAway) {
    if (std::getenv("SONAVELA_JACK") == nullptr) GTEST_SKIP() << "no JACK (scripts/jack_test_server.sh)";
    Background jack(
        "JACK_NO_AUDIO_RESERVATION=1 exec jackd -r -n sonavela-test-gone -d dummy -r 48000 -p 128 "
        ">/dev/null 2>&1");
    int status = -1;
    Shell("jack_wait -s sonavela-test-gone -w -t 10 >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0) << "the private JACK server did not start";
    ScopedEnv env;
    env.Set("JACK_DEFAULT_SERVER", "sonavela-test-gone");
    CreateHostAndListDrivers();
    RunStream(Id("system"), true, 64, 128, 500, 1000);  // JACK runs at its own period
    jack.Stop();
    StopAndClose("");
}
}  // namespace
