// The whole road, callback → ring → writer thread → file, in a recording process (the offline renderer)
// killed at moments apart, checked against an undisturbed take; a killed take is then repaired as the
// next start does.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/notices.h"
#include "app/take_notices.h"
#include "app/takes.h"
#include "persistence/app_config.h"
#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr int kRate = 48000;
constexpr size_t kTakeFrames = 16 * kRate;
const fs::path kDir = fs::temp_directory_path() / ("sonavela-proc-" + std::to_string(::getpid()));

// Records the take into kDir/into at `pace`, printing to kDir/into.log; `wrap` runs it.
pid_t Spawn(const std::string& into, const std::string& pace, const std::string& wrap = "exec") {
    fs::create_directories(kDir / into);
    const std::string command = wrap + " " SONAVELA_RENDER_PATH " --vocal " + (kDir / "vocal.wav").string() +
                                " --record-folder " + (kDir / into).string() + " --pace " + pace + " > " +
                                (kDir / into).string() + ".log";
    const pid_t child = fork();
    if (child == 0) execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr)), _exit(127);
    return child;
}
int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
std::string Log(const std::string& into) { return Shell("cat " + (kDir / into).string() + ".log"); }
std::string OnlyFile(const std::string& in) {
    const auto files = std::distance(fs::directory_iterator(kDir / in), {});
    EXPECT_EQ(files, 1);
    return files == 0 ? "" : fs::directory_iterator(kDir / in)->path().string();
}

class RecordingProcess : public ::testing::Test {
protected:
    static inline std::vector<short> reference;  // recorded to the end as fast as the engine goes

    // Numbered tones: every half second its own pitch, so any misplaced stretch shows.
    static void SetUpTestSuite() {
        std::vector<float> v(kTakeFrames);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * (180.0 + 41.0 * (i / (kRate / 2))) * i / kRate));
        fs::create_directories(kDir);
        ASSERT_TRUE(WritePcm16((kDir / "vocal.wav").string(), kRate, 1, v));
        EXPECT_EQ(Wait(Spawn("reference", "fast")), 0) << Log("reference");
        reference = ReadPcm16(OnlyFile("reference"));
    }
    static void TearDownTestSuite() { fs::remove_all(kDir); }
    void SetUp() override { ASSERT_EQ(reference.size(), 2 * kTakeFrames); }
    static std::vector<short> Prefix(size_t samples) { return {reference.begin(), reference.begin() + samples}; }
};

TEST_F(RecordingProcess, AKilledTakeKeepsAllButItsLastSecondAndTheNextStartMakesItWhole) {
    using Clock = std::chrono::steady_clock;
    struct Run {
        double seconds;
        std::string into;
        pid_t child = 0;
        Clock::time_point started{};  // when its take's file appeared: the first block follows at once
        bool killed = false;
    };
    std::vector<Run> runs;
    for (double seconds : {0.5, 1.5, 3.0, 7.0}) runs.push_back({seconds, "kill-" + std::to_string(seconds)});
    for (Run& run : runs) run.child = Spawn(run.into, "realtime");
    for (size_t left = runs.size(); left > 0; std::this_thread::sleep_for(1ms)) {
        for (Run& run : runs) {
            if (run.started == Clock::time_point{} && !fs::is_empty(kDir / run.into)) run.started = Clock::now();
            if (run.started == Clock::time_point{} || run.killed) continue;
            if (Clock::now() < run.started + std::chrono::duration<double>(run.seconds)) continue;
            kill(run.child, SIGKILL);
            run.killed = true;
            --left;
        }
    }
    for (const Run& run : runs) {
        SCOPED_TRACE(run.into);
        ASSERT_EQ(Wait(run.child), 128 + SIGKILL);
        const std::string path = OnlyFile(run.into);
        const std::vector<short> back = ReadPcm16(path);
        const size_t onDisk = (fs::file_size(path) - 44) / 4;
        std::printf("killed after %.1f s: %.3f s announced, %.3f s on disk\n", run.seconds, back.size() / 2.0 / kRate,
                    1.0 * onDisk / kRate);
        EXPECT_GE(back.size() / 2.0, (run.seconds - 1.0) * kRate);
        EXPECT_EQ(back, Prefix(back.size()));
        appConfig.recordFolder = (kDir / run.into).string();
        EXPECT_EQ(RecoverCutTakes(), onDisk > back.size() / 2 ? 1 : 0);
        const std::vector<Notice> told = TakeNotices();
        const std::string line = fs::path(path).filename().string() + " (dai " + TakeLength(onDisk) + ")";
        EXPECT_EQ(told.size() == 1 && told[0].text.find(line) != std::string::npos, onDisk > back.size() / 2);
        EXPECT_EQ(ReadPcm16(path), Prefix(2 * onDisk));
    }
}
}  // namespace
