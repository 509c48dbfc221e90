// What the program opens outside itself: the search text's encoding, which
// addresses may reach another program at all, and which program gets them.
#include <gtest/gtest.h>

#include "app/notices.h"
#include "app/outside_world.h"
#include "platform/scripted/scripted_platform.h"

namespace {
using Launches = std::vector<std::vector<std::string>>;

TEST(OutsideWorld, UrlEncodeQueryKeepsTheUnreservedSetAndEncodesEveryOtherByte) {
    const std::pair<std::string, std::string> cases[] = {{"Mot coi di ve", "Mot+coi+di+ve"},
                                                         {"a&b", "a%26b"},
                                                         {"\xE1\xBB\x99t", "%E1%BB%99t"},  // "ột": each UTF-8 byte
                                                         {"-._~AZaz09", "-._~AZaz09"},
                                                         {"/?=+%#\x7F\n", "%2F%3F%3D%2B%25%23%7F%0A"}};
    for (const auto& [text, encoded] : cases) EXPECT_EQ(UrlEncodeQuery(text), encoded) << text;
}

TEST(OutsideWorld, OnlyWebAddressesWithAHostAndTheNamedSettingsPageMayBeOpened) {
    for (const char* url : {"https://www.youtube.com/watch?v=a-b&t=1", "http://example.com", "HTTPS://Ex.com:8443/a#b",
                            "https://user@example.com", "http://[::1]:80/", "https://x.com/?q=$(touch${IFS}x);y|z`w`",
                            "ms-settings:apps-volume"})
        EXPECT_TRUE(IsOpenableUrl(url)) << url;
    for (const char* url :
         {"", "file:///etc/passwd", "javascript:alert(1)", "-https://x.com", "--new-window", "https://", "https:///etc",
          "http://ex ample.com", "https://x.com/\n", "https://x.com/\x7F", "https://v\xC3\xAD.com/",
          "https://x.com:80x/", "https://-x.com/", "http://[]/", "ms-settings:privacy", "ms-settings:apps-volume "})
        EXPECT_FALSE(IsOpenableUrl(url)) << url;
}

class OutsideWorldLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        ResetScriptedPlatform();
        TakeNotices();
        scripted.launcher.installed = {"/usr/bin/xdg-open"};
    }
};

TEST_F(OutsideWorldLaunch, BraveGetsTheAddressWhenFoundTheDefaultBrowserOtherwiseAndARefusedOneNothing) {
    for (const char* url : {"file:///etc/passwd", "-e", "", "ms-settings:apps-volume"})
        EXPECT_FALSE(OpenInBrave(url) || (url[0] != 'm' && ShellOpenUrl(url))) << url;
    EXPECT_TRUE(scripted.launcher.launched.empty());
    const std::string url = "https://www.youtube.com/results?search_query=karaoke+beat";
    EXPECT_TRUE(!IsBraveInstalled() && OpenInBrave(url) && ShellOpenUrl(url));
    scripted.launcher.installed.push_back("/usr/bin/brave-browser-stable");
    EXPECT_TRUE(IsBraveInstalled() && OpenInBrave(url));
    EXPECT_EQ(scripted.launcher.launched,
              (Launches{{"xdg-open", url}, {"xdg-open", url}, {"/usr/bin/brave-browser-stable", url}}));
}

TEST_F(OutsideWorldLaunch, TheVolumeMixerIsPavucontrolOrANoticeSayingWhatToInstall) {
    EXPECT_FALSE(OpenVolumeMixerSettings());
    const std::vector<Notice> told = TakeNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].caption.starts_with("Sonavela - ") && told[0].icon == MessageIcon::Information &&
                told[0].text.find("\"pavucontrol\"") != std::string::npos)
        << told[0].text;
    scripted.launcher.installed.push_back("/usr/bin/pavucontrol");
    EXPECT_TRUE(OpenVolumeMixerSettings() && TakeNotices().empty());
    EXPECT_EQ(scripted.launcher.launched, (Launches{{"/usr/bin/pavucontrol"}}));
}
}  // namespace
