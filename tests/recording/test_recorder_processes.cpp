// The whole road, callback → ring → writer thread → file, in a recording process (the offline renderer)
// killed, starved of disk space, or with its writer held still, checked against an undisturbed take.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

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

TEST_F(RecordingProcess, AKillAfterTwelveSecondsLeavesAPlayableFileOfAtLeastTenSeconds) {
    const pid_t child = Spawn("live", "realtime");
    std::this_thread::sleep_for(12s);
    kill(child, SIGKILL);
    ASSERT_EQ(Wait(child), 128 + SIGKILL);
    const std::string path = OnlyFile("live");
    const std::vector<short> back = ReadPcm16(path);  // read by libsndfile and by sox
    ASSERT_GE(back.size(), 20u * kRate);
    ASSERT_LT(back.size(), 26u * kRate);
    EXPECT_EQ(back, Prefix(back.size()));
    EXPECT_EQ(Shell("soxi -s '" + path + "'"), std::to_string(back.size() / 2) + "\n");
}

TEST_F(RecordingProcess, AFullDiskEndsTheTakeWithAValidFileAndSaysSo) {
    // Room for 249989.5 frames after the header: the half frame must not be announced.
    EXPECT_EQ(Wait(Spawn("full", "fast", "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(44 + 249989 * 4 + 2))),
              1);
    EXPECT_NE(Log("full").find("[FAIL] the recording was cut short: Loi ghi file: File too large"), std::string::npos)
        << Log("full");
    const std::string path = OnlyFile("full");
    EXPECT_EQ(fs::file_size(path), 44u + 249989u * 4u);
    EXPECT_EQ(ReadPcm16(path), Prefix(2 * 249989));
    EXPECT_EQ(Shell("soxi -s '" + path + "'"), "249989\n");
}

TEST_F(RecordingProcess, AHeldWriterLosesNothingWhileTheRingHasRoomThenDropsAndCountsTheRest) {
    const pid_t child = Spawn("held", "realtime");
    const std::string tasks = "/proc/" + std::to_string(child) + "/task/";
    std::string comm;  // the writer thread's /proc/<child>/task/<tid>/comm
    for (int tries = 0; tries < 500 && comm.empty(); ++tries, std::this_thread::sleep_for(10ms)) {
        comm = Shell("grep -lx sonavela-rec " + tasks + "*/comm 2>/dev/null");
    }
    const pid_t writer = comm.empty() ? -1 : std::stoi(comm.substr(tasks.size()));
    ASSERT_GT(writer, 0);
    // Held still 13 s from its first second on while the rest of the process runs on.
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ptrace(PTRACE_SEIZE, writer, nullptr, nullptr), 0);
    ASSERT_EQ(ptrace(PTRACE_INTERRUPT, writer, nullptr, nullptr), 0);
    EXPECT_EQ(waitpid(writer, nullptr, __WALL), writer);
    std::this_thread::sleep_for(13s);
    EXPECT_EQ(ptrace(PTRACE_DETACH, writer, nullptr, nullptr), 0);
    ASSERT_EQ(Wait(child), 0) << Log("held");
    const std::string log = Log("held"), path = OnlyFile("held");
    unsigned long long pushed = 0, dropped = 0;
    ASSERT_EQ(std::sscanf(log.substr(log.find("recording: " + path)).c_str(),
                          "recording: %*s (%llu frames pushed, %llu dropped)", &pushed, &dropped),
              2)
        << log;
    const std::vector<short> file = ReadPcm16(path);
    EXPECT_GT(dropped, 0u) << log;
    EXPECT_EQ(pushed + dropped, kTakeFrames) << log;
    EXPECT_EQ(file.size() / 2, pushed);
    // The take with one stretch missing, exactly as long as the count says, after at least a full ring.
    size_t kept = 0;
    while (kept < file.size() && file[kept] == reference[kept]) ++kept;
    kept /= 2;
    EXPECT_GE(kept, 524288u);
    ASSERT_LE(2 * (kept + dropped), reference.size());
    EXPECT_TRUE(std::equal(file.begin() + 2 * kept, file.end(), reference.begin() + 2 * (kept + dropped)));
}
}  // namespace
