// The update check over the scripted network: versions, and what each document makes of the state.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/scripted/scripted_platform.h"
#include "update/update_check.h"

namespace {

UpdateResult WaitForCheck() {
    while (CopyUpdateResult().state == kUpdateChecking) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return CopyUpdateResult();
}

TEST(UpdateVersions, NumbersCompareAsNumbersAndASuffixEndsTheWalk) {
    using V = std::vector<uint32_t>;
    EXPECT_EQ(ParseVersion("2.1"), (V{2, 1, 0}));
    EXPECT_EQ(ParseVersion("1.2.3-beta"), (V{1, 2, 3}));
    EXPECT_EQ(ParseVersion("v1.2"), (V{0, 0, 0}));
    EXPECT_EQ(ParseVersion("1..2.3.4"), (V{1, 0, 2, 3, 4}));
    EXPECT_EQ(ParseVersion("1.99999999999"), (V{1, 4294967295u, 0}));
    for (const auto& [a, b, expected] : {std::tuple{"1.0.2", "1.0.2", 0},
                                         {"1.0.2", "1.0.10", -1},
                                         {"1.0.2", "1.0", 1},
                                         {"1.0.2", "0.9.9", 1},
                                         {"1.0.3-beta", "1.0.3", 0},
                                         {"1.0", "1.0.0.0", 0},
                                         {"1.0.0.1", "1.0", 1},
                                         {"1.9", "1.10", -1}}) {
        EXPECT_EQ(CompareVersions(a, b), expected) << a << " vs " << b;
    }
}

TEST(UpdateDocument, TheStateAndFieldsFollowTheJsonValues) {
    ResetScriptedPlatform();
    struct Case {
        const char* body;
        int32_t state;
        const char* version;
        const char* notes;
        bool mandatory;
    };
    const Case cases[] = {
        {R"({"version":"1.0.2","download_url":"https://brivanta.vn/a"})", kUpdateUpToDate, "1.0.2", "", false},
        {R"({"version":"1.0.10","mandatory":true})", kUpdateAvailable, "1.0.10", "", true},
        {R"({"version":"1.0"})", kUpdateUpToDate, "1.0", "", false},
        {R"({"version":"0.9.9"})", kUpdateUpToDate, "0.9.9", "", false},
        {R"({"version":"1.0.3-beta","mandatory":"true"})", kUpdateAvailable, "1.0.3-beta", "", false},
        {R"({"release_notes":"Ban \"moi\"\n\\","version":"1.1"})", kUpdateAvailable, "1.1", "Ban \"moi\"\n\\", false},
        {R"({"notes":"see version","version":"2.0","mandatory":1})", kUpdateAvailable, "2.0", "", false},
        {R"(["version","2.0"])", kUpdateError, "", "", false},
        {R"({"version":2.0,"release_notes":"x"})", kUpdateError, "", "", false},
        {R"({"version":"2.0")", kUpdateError, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        scripted.https.answers.push_back({true, 200, c.body, 0, ""});
        StartUpdateCheck();
        const UpdateResult result = WaitForCheck();
        EXPECT_EQ(result.state, c.state);
        EXPECT_EQ(result.latestVersion, c.version);
        EXPECT_EQ(result.releaseNotes, c.notes);
        EXPECT_EQ(result.mandatory, c.mandatory);
        EXPECT_EQ(result.errorText, c.state == kUpdateError ? "File latest.json khong co truong version hop le." : "");
    }
    StopUpdateCheck();                              // joins the last worker, as the program does at its end
    EXPECT_EQ(CopyUpdateResult().downloadUrl, "");  // cleared by the next check
    ASSERT_EQ(scripted.https.requests.size(), std::size(cases));
    const HttpsRequest& sent = scripted.https.requests.front();
    EXPECT_EQ(sent.host + ":" + std::to_string(sent.port) + sent.path + "|" + sent.caFile,
              "update.brivanta.vn:443/sonavela/update/latest.json|");
}

TEST(UpdateDocument, NoSecondWorkerStartsWhileACheckRuns) {
    ResetScriptedPlatform();
    scripted.https.hold = true;
    scripted.https.answers.push_back(
        {true, 200, R"({"version":"1.0.3","download_url":"https://brivanta.vn/a"})", 0, ""});
    StartUpdateCheck();
    StartUpdateCheck();
    EXPECT_EQ(CopyUpdateResult().state, kUpdateChecking);
    scripted.https.hold = false;
    const UpdateResult result = WaitForCheck();
    StopUpdateCheck();  // waits for every worker, a wrongly started second one too
    EXPECT_EQ(scripted.https.requests.size(), 1u);
    EXPECT_EQ(result.state, kUpdateAvailable);
    EXPECT_EQ(result.downloadUrl, "https://brivanta.vn/a");
}

}  // namespace
