// The Setup Wizard's work on a sound server of the test's own: the cable made where it was missing, and a
// browser's playback moved onto it.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/setup_actions.h"
#include "devices/beat_capture.h"
#include "engine/engine_params.h"
#include "platform/sound_server.h"
#include "tests/support/private_server.h"

namespace {
// The sink a playback stream plays on, by the stream's application name: "" while there is none.
std::string SinkOf(const std::string& application) {
    const std::string listing = Shell("pactl list sink-inputs");
    const size_t at = listing.find("application.name = \"" + application + "\"");
    if (at == std::string::npos) return "";
    const size_t sink = listing.rfind("Sink: ", at);
    return listing.substr(sink + 6, listing.find('\n', sink) - sink - 6);
}
}  // namespace

TEST(SoundRoutes, TheMissingCableIsMadeAndTheBrowsersPlaybackMovedOntoIt) {
    ASSERT_TEST_SERVER();
    const std::string dir = "/tmp/sonavela-routes-" + std::to_string(getpid());
    PrivateServer server{dir};
    ASSERT_TRUE(server.Start());
    InitEngine();
    InitBeatCapture();
    Shell("pactl unload-module $(pactl list short modules | grep sink_name=CABLE_Input | cut -f1)");
    std::string said;
    EXPECT_FALSE(RouteBrowserToCable(said));
    EXPECT_EQ(said, "Chua co CABLE. Hay tao VB-CABLE truoc.");
    ASSERT_TRUE(CreateVirtualCable(said)) << said;
    EXPECT_TRUE(beatCapture.beatCaptureReady && said == "Da tao CABLE Input va mo capture.");
    const std::string cable = ShellWord("pactl list short sinks | grep CABLE_Input | cut -f1");
    EXPECT_NE(Shell("pactl list sinks").find("Description: CABLE Input (VB-Audio Virtual Cable)"), std::string::npos);

    Background browser("exec pacat --playback -d Speakers_Builtin --property=application.name=Brave /dev/zero");
    Background other("exec pacat --playback -d Speakers_Builtin --property=application.name=Player /dev/zero");
    for (int i = 0; i < 100 && (SinkOf("Brave").empty() || SinkOf("Player").empty()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string speakers = SinkOf("Player");
    ASSERT_FALSE(speakers.empty());
    ASSERT_TRUE(RouteBrowserToCable(said)) << said;
    EXPECT_TRUE(said.starts_with("Da chuyen Brave #")) << said;
    EXPECT_EQ(SinkOf("Brave"), cable);
    EXPECT_EQ(SinkOf("Player"), speakers) << "only the browser";
    ASSERT_TRUE(CreateVirtualCable(said));
    EXPECT_EQ(said, "CABLE da co san - da mo lai capture.") << "made once";
    browser.Stop();
    other.Stop();
    CloseBeatCapture();
    server.Stop();
    std::error_code leftBehind;
    std::filesystem::remove_all(dir, leftBehind);
}
