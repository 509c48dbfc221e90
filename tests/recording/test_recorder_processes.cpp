// The whole road, callback → ring → writer thread → file, in a separate
// recording process (the offline renderer at the sound card's pace), which
// the test kills, starves of disk space, or whose writer thread it holds
// still. The files are checked with libsndfile and sox.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/recording/recording_folder.h"
#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRate = 48000;

// Numbered tones: every half second its own pitch, so any misplaced stretch shows.
void WriteNumberedTones(const fs::path& path, int seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> v(static_cast<size_t>(seconds) * kRate);
    for (size_t i = 0; i < v.size(); ++i) {
        const double hz = 180.0 + 41.0 * static_cast<double>(i / (kRate / 2));
        v[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kRate));
    }
    sf_write_float(f, v.data(), static_cast<sf_count_t>(v.size()));
    sf_close(f);
}

class RecordingProcess : public RecorderTest {
protected:
    pid_t child = -1;

    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        RecorderTest::TearDown();
    }

    fs::path Take(int seconds) {
        const fs::path vocal = folder / "vocal.wav";
        WriteNumberedTones(vocal, seconds);
        return vocal;
    }

    // Starts the renderer recording into folder/into; output goes to folder/log.
    void Spawn(const fs::path& vocal, const char* into, const char* pace, rlim_t fileSizeLimit = 0) {
        fs::create_directories(folder / into);
        const std::string log = (folder / "log").string();
        const std::string in = vocal.string();
        const std::string out = (folder / into).string();
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (fileSizeLimit > 0) {
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
                signal(SIGXFSZ, SIG_IGN);
            }
            freopen(log.c_str(), "w", stdout);
            execl(SONAVELA_RENDER_PATH, SONAVELA_RENDER_PATH, "--vocal", in.c_str(), "--record-folder", out.c_str(),
                  "--pace", pace, static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    // The exit status, or -1 when the process did not end in time (it is then killed).
    int WaitForExit(std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(20ms);
        }
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string Log() const {
        std::ifstream f(folder / "log");
        return {std::istreambuf_iterator<char>(f), {}};
    }

    std::string OnlyFile(const char* in) const {
        const auto files = Files(folder / in);
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? "" : files[0].string();
    }

    // The same take recorded to the end as fast as the engine goes.
    std::vector<short> Reference(const fs::path& vocal) {
        Spawn(vocal, "reference", "fast");
        EXPECT_EQ(WaitForExit(120s), 0) << Log();
        return ReadPcm16(OnlyFile("reference")).samples;
    }

    // The recorder's writer thread in the recording process.
    pid_t WriterThread() const {
        for (int tries = 0; tries < 500; ++tries) {
            for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(child) + "/task")) {
                std::ifstream comm(task.path() / "comm");
                std::string name;
                std::getline(comm, name);
                if (name == "sonavela-rec") return std::stoi(task.path().filename().string());
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    // Holds one thread still while the rest of its process runs on.
    static void HoldThread(pid_t tid, std::chrono::seconds length) {
        ASSERT_EQ(ptrace(PTRACE_SEIZE, tid, nullptr, nullptr), 0) << std::strerror(errno);
        ASSERT_EQ(ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr), 0);
        int status = 0;
        ASSERT_EQ(waitpid(tid, &status, __WALL), tid);
        std::this_thread::sleep_for(length);
        ASSERT_EQ(ptrace(PTRACE_DETACH, tid, nullptr, nullptr), 0);
    }

    // Records a take at the sound card's pace into folder/into, holding the
    // writer still for `hold` after its first second; returns the log.
    std::string RecordWithWriterHeld(const fs::path& vocal, const char* into, std::chrono::seconds hold) {
        Spawn(vocal, into, "realtime");
        const pid_t writer = WriterThread();
        EXPECT_GT(writer, 0);
        if (writer <= 0) return "";
        std::this_thread::sleep_for(1s);
        HoldThread(writer, hold);
        EXPECT_EQ(WaitForExit(30s), 0) << Log();
        return Log();
    }

    static uint64_t Counter(const std::string& log, const std::string& after) {
        const size_t at = log.find(after);
        return at == std::string::npos ? ~uint64_t{0} : std::stoull(log.substr(at + after.size()));
    }
};

std::vector<short> Prefix(const std::vector<short>& v, size_t frames) {
    return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(v.size(), 2 * frames))};
}

TEST_F(RecordingProcess, AKillAfterTwelveSecondsLeavesAPlayableFileOfAtLeastTenSeconds) {
    const fs::path vocal = Take(20);
    const std::vector<short> reference = Reference(vocal);
    ASSERT_EQ(reference.size(), 2u * 20 * kRate);

    Spawn(vocal, "live", "realtime");
    std::this_thread::sleep_for(12s);
    kill(child, SIGKILL);
    ASSERT_EQ(WaitForExit(10s), 128 + SIGKILL);

    const std::string path = OnlyFile("live");
    const ReadBack back = ReadPcm16(path);
    ASSERT_TRUE(back.opened);
    EXPECT_GE(back.info.frames, 10 * kRate);
    EXPECT_LT(back.info.frames, 13 * kRate);
    EXPECT_EQ(back.samples, Prefix(reference, static_cast<size_t>(back.info.frames)));
    EXPECT_GE(std::stol(Shell("soxi -s '" + path + "'")), 10L * kRate);
    int status = -1;
    Shell("sox '" + path + "' -n 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(RecordingProcess, AFullDiskEndsTheTakeWithAValidFileAndSaysSo) {
    const fs::path vocal = Take(10);
    const std::vector<short> reference = Reference(vocal);
    // Room for 249989.5 frames after the header: the half frame must not be announced.
    Spawn(vocal, "full", "fast", 44 + 249989 * 4 + 2);
    const int status = WaitForExit(60s);
    const std::string log = Log();
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("[FAIL] the recording was cut short: Loi ghi file: File too large"), std::string::npos) << log;

    const std::string path = OnlyFile("full");
    EXPECT_EQ(fs::file_size(path), 44u + 249989u * 4u);
    const ReadBack back = ReadPcm16(path);
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.info.frames, 249989);
    EXPECT_EQ(back.samples, Prefix(reference, 249989));
    EXPECT_EQ(Shell("soxi -s '" + path + "'"), "249989\n");
}

TEST_F(RecordingProcess, AStalledWriterLosesNothingWhileTheRingHasRoom) {
    const fs::path vocal = Take(9);
    const std::vector<short> reference = Reference(vocal);
    const std::string log = RecordWithWriterHeld(vocal, "stalled", 6s);  // 6 s of a 10.9 s ring
    EXPECT_EQ(Counter(log, "frames pushed, "), 0u) << log;
    EXPECT_EQ(ReadPcm16(OnlyFile("stalled")).samples, reference);
}

TEST_F(RecordingProcess, AnOverflowDropsAndCountsExactlyTheFramesThatDidNotFit) {
    const fs::path vocal = Take(16);
    const std::vector<short> reference = Reference(vocal);
    const std::string log = RecordWithWriterHeld(vocal, "overflow", 13s);
    const uint64_t pushed = Counter(log, "recording: " + OnlyFile("overflow") + " (");
    const uint64_t dropped = Counter(log, "frames pushed, ");
    const std::vector<short> file = ReadPcm16(OnlyFile("overflow")).samples;
    EXPECT_GT(dropped, 0u) << log;
    EXPECT_EQ(pushed + dropped, 16u * kRate) << log;
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
