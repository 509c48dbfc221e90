// Which output and input are selected, over the scripted system's lists,
// and the name tests the device policy builds on.

#include <gtest/gtest.h>

#include "devices/endpoint_selection.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/scripted/scripted_platform.h"
#include "tests/devices/device_world.h"

namespace {
const AudioEndpoint kSpeakers{"Speakers_Builtin", "Speakers (High Definition Audio)"};
const AudioEndpoint kCable{"CABLE_Input", "CABLE Input (VB-Audio Virtual Cable)"};
const AudioEndpoint kK10{"Speakers_XOX", "Speakers (XOX K10 Audio)"};
const AudioEndpoint kHeadphones{"bt_headphones", "Tai nghe Bluetooth của Hùng"};

class Endpoints : public ::testing::Test {
protected:
    void SetUp() override { ResetDeviceWorld(); }
    static std::string StoredOutputId() { return StoredConfigValue("mini_output_id"); }
};

TEST_F(Endpoints, AStoredOutputThatIsActiveWinsOverTheDefault) {
    scripted.render.endpoints = {kSpeakers, kCable, kK10};
    scripted.render.defaultId = kSpeakers.id;
    appConfig.miniOutputId = kK10.id;
    RefreshOutputsAsApp();
    EXPECT_EQ(endpointLists.selectedOutputIndex, 2);
    EXPECT_EQ(SelectedOutput()->name, kK10.name);
    EXPECT_EQ(StoredOutputId(), "<not saved>");  // nothing changed, nothing written
}

TEST_F(Endpoints, AVanishedOutputFallsBackToTheDefaultThenTheFirstAndIsSaved) {
    scripted.render.endpoints = {kCable, kSpeakers, kHeadphones};
    scripted.render.defaultId = kHeadphones.id;
    appConfig.miniOutputId = "unplugged_usb_dac";
    RefreshOutputsAsApp();
    EXPECT_EQ(endpointLists.selectedOutputIndex, 2);
    EXPECT_EQ(appConfig.miniOutputId, kHeadphones.id);
    EXPECT_EQ(StoredOutputId(), kHeadphones.id);

    scripted.render.defaultId = "";
    appConfig.miniOutputId = "gone";
    RefreshOutputsAsApp();
    EXPECT_EQ(endpointLists.selectedOutputIndex, 0);
    EXPECT_EQ(StoredOutputId(), kCable.id);
}

TEST_F(Endpoints, NoOutputsEmptiesTheStoredIdAndAFailedListKeepsTheSelection) {
    scripted.render.endpoints = {kSpeakers};
    RefreshOutputsAsApp();
    ASSERT_EQ(endpointLists.selectedOutputIndex, 0);

    scripted.render.reachable = false;
    RefreshOutputsAsApp();
    EXPECT_TRUE(endpointLists.outputEndpoints.empty());
    EXPECT_EQ(endpointLists.selectedOutputIndex, 0);
    EXPECT_EQ(SelectedOutput(), nullptr);  // an index past the list is no selection

    scripted.render.reachable = true;
    scripted.render.endpoints.clear();
    RefreshOutputsAsApp();
    EXPECT_EQ(endpointLists.selectedOutputIndex, -1);
    EXPECT_EQ(appConfig.miniOutputId, "");
    EXPECT_EQ(StoredOutputId(), "");
}

TEST_F(Endpoints, AnUnnamedOutputGetsTheGenericNameAndOneWithoutIdIsSkipped) {
    scripted.render.endpoints = {{"", "No id"}, {"plain", ""}};
    RefreshOutputsAsApp();
    ASSERT_EQ(endpointLists.outputEndpoints.size(), 1u);
    EXPECT_EQ(endpointLists.outputEndpoints[0].name, "Windows Audio Output");
}

TEST_F(Endpoints, TheInputIsTheStoredOneElseTheBestMicrophoneByName) {
    scripted.capture.endpoints = {{"cable_out", "CABLE Output (VB-Audio Virtual Cable)"},
                                  {"line", "Line In (High Definition Audio)"},
                                  {"usb", "Microphone (USB Audio Device)"},
                                  {"usb2", "Microphone (USB Audio Device)"}};
    RefreshInputsAsApp();
    EXPECT_EQ(endpointLists.selectedInputIndex, 2);  // the earliest of equal scores
    EXPECT_EQ(appConfig.wasapiMicInputId, "usb");
    EXPECT_EQ(StoredOutputId(), "<not saved>");  // kept in memory only

    appConfig.wasapiMicInputId = "line";
    RefreshInputsAsApp();
    EXPECT_EQ(endpointLists.selectedInputIndex, 1);

    scripted.capture.endpoints = {{"cable_out", "CABLE Output (VB-Audio Virtual Cable)"},
                                  {"mix", "Stereo Mix (Realtek Audio)"}};
    appConfig.wasapiMicInputId = "gone";
    RefreshInputsAsApp();
    EXPECT_EQ(endpointLists.selectedInputIndex, 0);
}

TEST(EndpointNames, MicrophoneScoresFollowTheKeywords) {
    EXPECT_EQ(ScoreMicName("Microphone (USB Audio Device)"), 63);
    EXPECT_EQ(ScoreMicName("Line In (High Definition Audio)"), 43);
    EXPECT_EQ(ScoreMicName("Microphone (XOX K10 Audio)"), 83);
    EXPECT_EQ(ScoreMicName("CABLE Output (VB-Audio Virtual Cable)"), -1000);
    EXPECT_EQ(ScoreMicName("Stereo Mix (Realtek)"), -1000);
    EXPECT_EQ(ScoreMicName("What U Hear (Sound Blaster)"), -1000);
    EXPECT_EQ(ScoreMicName("NVIDIA Broadcast"), -1000);
    EXPECT_EQ(ScoreMicName("Line Microphone"), 65);
    EXPECT_EQ(ScoreMicName("MIC"), 30);
    EXPECT_EQ(ScoreMicName("Micrô USB của tôi"), 55);  // the Vietnamese letters pass through
    EXPECT_EQ(ScoreMicName(""), 0);
}

TEST(EndpointNames, K10AndTheGenericDriverAreRecognisedByName) {
    EXPECT_TRUE(IsK10Name("Speakers (XOX K10 Audio)"));
    EXPECT_TRUE(IsK10Name("xox k10"));
    EXPECT_TRUE(IsK10Name("K10 10th Anniversary"));
    EXPECT_FALSE(IsK10Name("K10"));
    EXPECT_FALSE(IsK10Name("Speakers (High Definition Audio)"));
    EXPECT_TRUE(IsAsio4AllName("ASIO4ALL v2"));
    EXPECT_FALSE(IsAsio4AllName("asio4all v2"));
    EXPECT_FALSE(IsAsio4AllName("ASIO4AL"));
}

TEST_F(Endpoints, TheK10LockRefreshesTheOutputsOnlyForTheGenericDriver) {
    scripted.render.endpoints = {kSpeakers, kK10};
    EXPECT_FALSE(IsAsio4AllWithK10("Focusrite USB ASIO"));
    EXPECT_EQ(scripted.render.listCalls, 0);
    EXPECT_TRUE(IsAsio4AllWithK10("ASIO4ALL v2"));
    EXPECT_EQ(scripted.render.listCalls, 1);
    EXPECT_EQ(FindK10OutputIndex(), 1);
    scripted.render.endpoints = {kSpeakers};
    EXPECT_FALSE(HasK10Output());
    scripted.render.endpoints.clear();
    EXPECT_EQ(FindK10OutputIndex(), -1);
}
}  // namespace
