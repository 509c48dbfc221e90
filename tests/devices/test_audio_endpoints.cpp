// Which output is selected from the scripted list, and what is saved.
#include "tests/devices/device_world.h"

namespace {
TEST(Endpoints, TheStoredActiveOutputElseTheDefaultElseTheFirstIsSelectedAndAChangeSaved) {
    const std::tuple<std::vector<AudioEndpoint>, std::string, std::string, int, std::string> cases[] = {
        {{kSpeakers, kCable, kK10Output}, kSpeakers.id, kK10Output.id, 2, "<not saved>"},
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
}  // namespace
