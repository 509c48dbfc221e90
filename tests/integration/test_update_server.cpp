// The update check with the real HTTPS GET against scripts/https_test_server.sh.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "update/update_check.h"

// WinHTTP's error codes stand where libcurl's words stand on Linux (as wine
// gives them: an untrusted server is 12157 there, 12175 on Windows itself).
#ifndef SONAVELA_WINHTTP
#define SONAVELA_WINHTTP 0
#endif

namespace {
constexpr bool kWinHttp = SONAVELA_WINHTTP;
// Wine's WinHTTP matches the certificate against host names only, not addresses.
const char* const kHost = kWinHttp ? "localhost" : "127.0.0.1";

std::string Words(const char* curl, unsigned windowsError) {
    return kWinHttp ? "Windows error " + std::to_string(windowsError) : curl;
}

#define ASSERT_HTTPS_SERVER()                                   \
    ASSERT_NE(std::getenv("SONAVELA_TEST_HTTPS_PORT"), nullptr) \
        << "no HTTPS test server: scripts/https_test_server.sh start DIR, then source DIR/env"

void PointAt(const std::string& path, bool trusted = true, uint16_t port = 0) {
    const uint16_t served = static_cast<uint16_t>(std::atoi(std::getenv("SONAVELA_TEST_HTTPS_PORT")));
    updateCheck.server = {kHost, port != 0 ? port : served, path, trusted ? std::getenv("SONAVELA_TEST_HTTPS_CA") : ""};
}

UpdateResult CheckNow() {
    StartUpdateCheck();
    while (CopyUpdateResult().state == kUpdateChecking) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return CopyUpdateResult();
}

TEST(UpdateServer, EachAnswerOfTheServerEndsInItsStateAndWords) {
    ASSERT_HTTPS_SERVER();
    const std::string root = std::getenv("SONAVELA_TEST_HTTPS_ROOT");
    std::ofstream(root + "/good.json") << R"({"version":"1.2.0","download_url":"https://brivanta.vn/t",)"
                                       << R"("release_notes":"Sửa lỗi","mandatory":true,"extra":[1]})";
    std::ofstream(root + "/invalid.json") << R"({"version": "1.2.0",)";
    PointAt("/good.json");
    const UpdateResult good = CheckNow();
    EXPECT_EQ(good.state, kUpdateAvailable);
    EXPECT_EQ(
        good.latestVersion + "|" + good.downloadUrl + "|" + good.releaseNotes + "|" + std::to_string(good.mandatory),
        "1.2.0|https://brivanta.vn/t|Sửa lỗi|1");
    const std::string noConnection = "Khong the ket noi den may chu cap nhat (";
    for (const auto& [path, trusted, port, error] :
         {std::tuple<const char*, bool, uint16_t, std::string>{"/missing.json", true, 0,
                                                               "May chu cap nhat tra ve HTTP 404"},
          {"/status/500", true, 0, "May chu cap nhat tra ve HTTP 500"},
          {"/slow", true, 0, noConnection + Words("loi curl 28: Timeout was reached", 12002) + ")"},
          {"/good.json", true, 1, noConnection + Words("loi curl 7: Couldn't connect to server", 12029) + ")"},
          {"/good.json", false, 0,
           noConnection + Words("loi curl 60: SSL peer certificate or SSH remote key was not OK", 12157) + ")"},
          {"/big", true, 0, noConnection + "answer larger than 65536 bytes)"},
          {"/invalid.json", true, 0, "File latest.json khong co truong version hop le."},
          {"/cut", true, 0, noConnection + Words("loi curl 18: Transferred a partial file", 12152) + ")"}}) {
        SCOPED_TRACE(path);
        PointAt(path, trusted, port);
        const UpdateResult result = CheckNow();
        EXPECT_EQ(result.state, kUpdateError);
        EXPECT_EQ(result.errorText, error);
    }
}

// The program quits while the server is still silent: the worker gives up
// at once and nothing it touches has been destroyed under it.
TEST(UpdateServerDeathTest, QuittingDuringACheckCancelsItAndExitsCleanly) {
    ASSERT_HTTPS_SERVER();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            PointAt("/slow");
            StartUpdateCheck();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            StopUpdateCheck();
            std::exit(CopyUpdateResult().state == kUpdateError ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
