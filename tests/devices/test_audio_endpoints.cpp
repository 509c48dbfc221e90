// Which output is selected from the scripted list, what is saved, and the name tests.
#include "tests/devices/device_world.h"

namespace {
TEST(Endpoints, TheStoredActiveOutputElseTheDefaultElseTheFirstIsSelectedAndAChangeSaved) {
    const std::tuple<std::vector<AudioEndpoint>, std::string, std::string, int, std::string> cases[] = {
        {{kSpeakers, kCable, kK10Output}, kSpeakers.id, kK10Output.id, 2, "<not saved>"},
        {{kSpeakers, kCable}, kCable.id, kSpeakers.id, 0, "<not saved>"},  // nothing changed
        {{kCable, kSpeakers, kHeadphones}, kHeadphones.id, "unplugged_usb_dac", 2, kHeadphones.id},
        {{kCable, kSpeakers, kHeadphones}, "", "gone", 0, kCable.id},
        {{}, "", "gone", -1, ""}};
    for (const auto& [list, defaultId, stored, index, saved] : cases) {
        SCOPED_TRACE(stored + " default " + defaultId);
        ResetDeviceWorld();
        scripted.render.endpoints = list;
        scripted.render.defaultId = defaultId;
        appConfig.miniOutputId = stored;
        AsApp(RefreshOutputEndpoints);
        EXPECT_EQ(endpointLists.selectedOutputIndex, index);
        EXPECT_EQ(appConfig.miniOutputId, index < 0 ? "" : list[index].id);
        EXPECT_EQ(StoredConfigValue("mini_output_id"), saved);
    }
    scripted.render.endpoints = {kSpeakers, {"", "No id"}, {"plain", ""}};
    AsApp(RefreshOutputEndpoints);
    ASSERT_EQ(endpointLists.outputEndpoints.size(), 2u) << "one without an id is skipped";
    EXPECT_EQ(endpointLists.outputEndpoints[1].name, "Windows Audio Output");
    scripted.render.reachable = false;  // a failed list keeps the index, but it selects nothing
    AsApp(RefreshOutputEndpoints);
    EXPECT_TRUE(endpointLists.outputEndpoints.empty() && endpointLists.selectedOutputIndex == 0);
    EXPECT_EQ(SelectedOutput(), nullptr);
}

TEST(Endpoints, MicrophonesRankByTheirNamesAndK10AndTheGenericDriverAreKnownByName) {
    const std::string bestFirst[] = {"Microphone (XOX K10 Audio)",      kUsbMic.name, "Micrô USB của tôi",
                                     "Line In (High Definition Audio)", "MIC",        ""};
    for (size_t i = 1; i < std::size(bestFirst); ++i)
        EXPECT_GT(ScoreMicName(bestFirst[i - 1]), ScoreMicName(bestFirst[i]));
    for (const char* never : {"CABLE Output", "Stereo Mix (Realtek)", "What U Hear", "NVIDIA Broadcast"}) {
        EXPECT_LE(ScoreMicName(std::string("Microphone ") + never), -1000) << never;
    }
    for (const char* k10 : {"Speakers (XOX K10 Audio)", "xox k10", "K10 10th Anniversary"}) EXPECT_TRUE(IsK10Name(k10));
    EXPECT_FALSE(IsK10Name("K10") || IsK10Name(kSpeakers.name));
    EXPECT_TRUE(IsAsio4AllName("ASIO4ALL v2") && !IsAsio4AllName("asio4all v2") && !IsAsio4AllName("ASIO4AL"));
}
}  // namespace
