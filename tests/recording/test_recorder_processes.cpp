// The whole road, callback → ring → writer thread → file, in a separate
// recording process (the offline renderer at the sound card's pace), which
// the test kills, starves of disk space, or whose writer thread it holds
// still. The files are checked with libsndfile and sox.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr int kRate = 48000;
constexpr size_t kTakeFrames = 16 * kRate;
const fs::path kDir = fs::temp_directory_path() / ("sonavela-proc-" + std::to_string(::getpid()));

// Records the take into kDir/into, its output going to kDir/into.log; `wrap` runs before it.
pid_t Spawn(const std::string& into, const std::string& pace, const std::string& wrap = "") {
    fs::create_directories(kDir / into);
    const std::string command = (wrap.empty() ? "exec" : wrap) + " " SONAVELA_RENDER_PATH " --vocal " + (kDir / "vocal.wav").string() +
                                " --record-folder " + (kDir / into).string() + " --pace " + pace + " > " + (kDir / into).string() + ".log";
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
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(kDir / in)) files.push_back(e.path().string());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? "" : files[0];
}
uint64_t Counter(const std::string& log, const std::string& after) {
    const size_t at = log.find(after);
    return at == std::string::npos ? ~uint64_t{0} : std::stoull(log.substr(at + after.size()));
}

class RecordingProcess : public ::testing::Test {
protected:
    static inline std::vector<short> reference;  // the take recorded to the end as fast as the engine goes

    // Numbered tones: every half second its own pitch, so any misplaced stretch shows.
    static void SetUpTestSuite() {
        std::vector<float> v(kTakeFrames);
        for (size_t i = 0; i < v.size(); ++i) v[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * (180.0 + 41.0 * (i / (kRate / 2))) * i / kRate));
        fs::create_directories(kDir);
        ASSERT_TRUE(WritePcm16((kDir / "vocal.wav").string(), kRate, 1, v));
        EXPECT_EQ(Wait(Spawn("reference", "fast")), 0) << Log("reference");
        reference = ReadPcm16(OnlyFile("reference")).samples;
    }
    static void TearDownTestSuite() { fs::remove_all(kDir); }
    void SetUp() override { ASSERT_EQ(reference.size(), 2 * kTakeFrames); }
    std::vector<short> Prefix(size_t frames) const { return {reference.begin(), reference.begin() + static_cast<long>(std::min(reference.size(), 2 * frames))}; }

    // Records at the sound card's pace, holding the writer thread still for
    // `hold` after the first second while the rest of the process runs on.
    static std::string RecordWithWriterHeld(const std::string& into, std::chrono::seconds hold) {
        const pid_t child = Spawn(into, "realtime");
        pid_t writer = -1;
        for (int tries = 0; tries < 500 && writer < 0; ++tries, std::this_thread::sleep_for(10ms)) {
            for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(child) + "/task")) {
                std::string name;
                std::getline(std::ifstream(task.path() / "comm"), name);
                if (name == "sonavela-rec") writer = std::stoi(task.path().filename().string());
            }
        }
        EXPECT_GT(writer, 0);
        std::this_thread::sleep_for(1s);
        EXPECT_EQ(ptrace(PTRACE_SEIZE, writer, nullptr, nullptr), 0);
        EXPECT_EQ(ptrace(PTRACE_INTERRUPT, writer, nullptr, nullptr), 0);
        EXPECT_EQ(waitpid(writer, nullptr, __WALL), writer);
        std::this_thread::sleep_for(hold);
        EXPECT_EQ(ptrace(PTRACE_DETACH, writer, nullptr, nullptr), 0);
        EXPECT_EQ(Wait(child), 0) << Log(into);
        return Log(into);
    }
};

TEST_F(RecordingProcess, AKillAfterTwelveSecondsLeavesAPlayableFileOfAtLeastTenSeconds) {
    const pid_t child = Spawn("live", "realtime");
    std::this_thread::sleep_for(12s);
    kill(child, SIGKILL);
    ASSERT_EQ(Wait(child), 128 + SIGKILL);
    const std::string path = OnlyFile("live");
    const ReadBack back = ReadPcm16(path);
    EXPECT_GE(back.info.frames, 10 * kRate);
    EXPECT_LT(back.info.frames, 13 * kRate);
    EXPECT_EQ(back.samples, Prefix(static_cast<size_t>(back.info.frames)));
    EXPECT_EQ(Shell("soxi -s '" + path + "'"), std::to_string(back.info.frames) + "\n");
    int status = -1;
    Shell("sox '" + path + "' -n 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(RecordingProcess, AFullDiskEndsTheTakeWithAValidFileAndSaysSo) {
    // Room for 249989.5 frames after the header: the half frame must not be announced.
    EXPECT_EQ(Wait(Spawn("full", "fast", "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(44 + 249989 * 4 + 2))), 1);
    EXPECT_NE(Log("full").find("[FAIL] the recording was cut short: Loi ghi file: File too large"), std::string::npos) << Log("full");
    const std::string path = OnlyFile("full");
    EXPECT_EQ(fs::file_size(path), 44u + 249989u * 4u);
    EXPECT_EQ(ReadPcm16(path).samples, Prefix(249989));
    EXPECT_EQ(Shell("soxi -s '" + path + "'"), "249989\n");
}

TEST_F(RecordingProcess, AStalledWriterLosesNothingWhileTheRingHasRoom) {
    const std::string log = RecordWithWriterHeld("stalled", 6s);  // 6 s of a 10.9 s ring
    EXPECT_EQ(Counter(log, "frames pushed, "), 0u) << log;
    EXPECT_EQ(ReadPcm16(OnlyFile("stalled")).samples, reference);
}

TEST_F(RecordingProcess, AnOverflowDropsAndCountsExactlyTheFramesThatDidNotFit) {
    const std::string log = RecordWithWriterHeld("overflow", 13s);
    const uint64_t pushed = Counter(log, "recording: " + OnlyFile("overflow") + " (");
    const uint64_t dropped = Counter(log, "frames pushed, ");
    const std::vector<short> file = ReadPcm16(OnlyFile("overflow")).samples;
    EXPECT_GT(dropped, 0u) << log;
    EXPECT_EQ(pushed + dropped, kTakeFrames) << log;
    EXPECT_EQ(file.size() / 2, pushed);
    // The file is the take with one stretch missing, exactly as long as the count says.
    size_t kept = 0;
    while (kept < file.size() && file[kept] == reference[kept]) ++kept;
    kept /= 2;
    EXPECT_GE(kept, 524288u);
    ASSERT_LE(2 * (kept + dropped), reference.size());
    EXPECT_TRUE(std::equal(file.begin() + 2 * kept, file.end(), reference.begin() + 2 * (kept + dropped)));
}
}  // namespace
