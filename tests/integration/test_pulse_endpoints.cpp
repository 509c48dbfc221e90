// Against the PulseAudio test server that the test command starts: the
// platform layer sees the same devices, names and defaults as pactl does.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/audio_endpoints.h"
#include "tests/support/shell.h"

namespace {
// Name and Description pairs of `pactl list sinks|sources`, in order.
std::vector<AudioEndpoint> PactlView(const char* kind) {
    std::istringstream lines(Shell(std::string("LC_ALL=C pactl list ") + kind));
    std::vector<AudioEndpoint> result;
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of("\t ");
        if (start == std::string::npos) continue;
        const std::string field = line.substr(start);
        if (field.rfind("Name: ", 0) == 0) result.push_back({field.substr(6), ""});
        if (field.rfind("Description: ", 0) == 0 && !result.empty()) result.back().name = field.substr(13);
    }
    return result;
}

std::string PactlDefault(const char* which) {
    std::string s = Shell(std::string("pactl ") + which);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

const AudioEndpoint* Find(const std::vector<AudioEndpoint>& list, const std::string& id) {
    for (const AudioEndpoint& e : list) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

class PulseServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr)
            << "start the test server first (scripts/test.sh does): scripts/pulse_test_server.sh start";
        ASSERT_NE(Shell("pactl info").find("Server Name"), std::string::npos) << "the test server does not answer";
    }

    static std::vector<AudioEndpoint> List(EndpointFlow flow, std::string& defaultId) {
        std::vector<AudioEndpoint> list;
        std::string reason;
        EXPECT_TRUE(ListAudioEndpoints(flow, list, defaultId, reason)) << reason;
        return list;
    }
};

TEST_F(PulseServer, RenderEndpointsAreTheServersSinksWithTheirDescriptions) {
    std::string defaultId;
    const std::vector<AudioEndpoint> sinks = List(EndpointFlow::Render, defaultId);
    const AudioEndpoint* cable = Find(sinks, "CABLE_Input");
    ASSERT_NE(cable, nullptr);
    EXPECT_EQ(cable->name, "CABLE Input (VB-Audio Virtual Cable)");
    const AudioEndpoint* k10 = Find(sinks, "Speakers_XOX");
    ASSERT_NE(k10, nullptr);
    EXPECT_NE(k10->name.find("XOX K10"), std::string::npos);
    ASSERT_NE(Find(sinks, "Speakers_Builtin"), nullptr);
    EXPECT_EQ(defaultId, PactlDefault("get-default-sink"));
    EXPECT_EQ(defaultId, "Speakers_Builtin");

    const std::vector<AudioEndpoint> pactl = PactlView("sinks");
    ASSERT_EQ(sinks.size(), pactl.size());
    for (size_t i = 0; i < sinks.size(); ++i) {
        EXPECT_EQ(sinks[i].id, pactl[i].id);
        EXPECT_EQ(sinks[i].name, pactl[i].name);
    }
}

TEST_F(PulseServer, CaptureEndpointsIncludeTheMicrophoneAndTheMonitors) {
    std::string defaultId;
    const std::vector<AudioEndpoint> sources = List(EndpointFlow::Capture, defaultId);
    const AudioEndpoint* mic = Find(sources, "USB_Mic");
    ASSERT_NE(mic, nullptr);
    EXPECT_EQ(mic->name, "Microphone (USB Audio Device)");
    EXPECT_EQ(defaultId, "USB_Mic");
    const AudioEndpoint* loopback = Find(sources, "CABLE_Input.monitor");
    ASSERT_NE(loopback, nullptr);
    EXPECT_EQ(loopback->name, "Monitor of CABLE Input (VB-Audio Virtual Cable)");

    const std::vector<AudioEndpoint> pactl = PactlView("sources");
    ASSERT_EQ(sources.size(), pactl.size());
    for (size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(sources[i].name, pactl[i].name);
}

TEST_F(PulseServer, AnUnreachableServerIsReportedPromptlyWithAReason) {
    const std::string saved = std::getenv("PULSE_SERVER");
    setenv("PULSE_SERVER", "unix:/nonexistent/sonavela/native", 1);
    std::vector<AudioEndpoint> list{{"stale", "stale"}};
    std::string defaultId = "stale";
    std::string reason;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ListAudioEndpoints(EndpointFlow::Render, list, defaultId, reason);
    const auto took = std::chrono::steady_clock::now() - start;
    setenv("PULSE_SERVER", saved.c_str(), 1);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(defaultId.empty());
    EXPECT_NE(reason.find("sound server"), std::string::npos) << reason;
    EXPECT_LT(took, std::chrono::seconds(5));
}
}  // namespace
