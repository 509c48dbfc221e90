// Names of takes, the recorder on real files in a private folder, and the repair of cut takes, read back
// with libsndfile.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/notices.h"
#include "app/take_notices.h"
#include "app/takes.h"
#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/record_ring.h"
#include "persistence/app_config.h"
#include "recording/record_folder.h"
#include "recording/record_name.h"
#include "recording/recorder.h"
#include "recording/take_repair.h"
#include "recording/wav_header.h"
#include "tests/persistence/fresh_process.h"
#include "tests/support/wav_reader.h"

namespace {
namespace fs = std::filesystem;
const LocalTime kEvening{2026, 1, 5, 20, 30, 15};

std::string Header(uint64_t dataBytes) {
    const auto h = BuildWavHeader(dataBytes);
    return {h.begin(), h.end()};
}
short Pcm(float v) {  // clamped, then truncated toward zero: 0.5 is 16383
    return std::isfinite(v) ? static_cast<short>(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767.0f) : 0;
}

TEST(RecordName, SanitizesStampsCutsAndJoinsTheName) {
    const std::pair<std::string, std::string> named[] = {
        {"a\\b:c*d?e\"f<g>h|i/j", "a_b_c_d_e_f_g_h_i_j"},
        {"Line\nbreak\tand\033esc", "Linebreakandesc"},
        {"Bài hát của tôi", "Bài hát của tôi"},
        {"Song. . .", "Song"},
        {" . .. ", "Sonavela"},
        {"", "Sonavela"},
        {"\x01\x02", "Sonavela"},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {std::string(199, 'x') + " .tail", std::string(199, 'x')}};  // cut before dots and spaces, then dropped
    for (const auto& [in, out] : named) EXPECT_EQ(RecordFileName(in, 0, kEvening, 1), out + "_Mix_20260105_203015.wav");
    EXPECT_EQ(RecordFileName("AC/DC: Live?", 1, kEvening, 2), "AC_DC_ Live__Vocal_20260105_203015_2.wav");
    std::string vietnamese;
    for (int i = 0; i < 200; ++i) vietnamese += "ộ";  // three bytes each, cut between characters
    const std::string name = RecordFileName(vietnamese, 1, kEvening, 9999), ending = "_Vocal_20260105_203015_9999.wav";
    ASSERT_LE(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - ending.size()), ending);
    EXPECT_EQ(name.find("ộ_Vocal"), name.size() - ending.size() - 3) << "whole characters only";
    const std::pair<std::string, std::string> joined[] = {
        {"/music", "/music/a.wav"}, {"/music/", "/music/a.wav"}, {"D:\\T\\", "D:\\T\\a.wav"}, {".", "./a.wav"}};
    for (const auto& [folder, path] : joined) EXPECT_EQ(JoinRecordPath(folder, "a.wav"), path);
}

TEST(WavHeader, AnnouncesWholeFramesThatFitTheRiffSize) {
    const char stereo48k16[] =
        "RIFF\x0c\x04\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xbb\0\0\0\xee\x02\0\x04\0\x10\0data\xe8\x03\0\0";
    EXPECT_EQ(Header(1000), std::string(stereo48k16, 44));
    EXPECT_EQ(Header(1003), Header(1000));
    for (uint64_t huge : {0xFFFFFFDBull, 0xFFFFFFFFull, 0x1000000000ull}) {
        EXPECT_EQ(Header(huge).substr(4, 4), "\xfc\xff\xff\xff") << huge;
        EXPECT_EQ(Header(huge).substr(40), "\xd8\xff\xff\xff") << huge;
    }
}

// Each recorder test gets its own empty folder and starts from an idle recorder and a fresh engine.
class RecorderTest : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("sonavela-rec-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::remove_all(folder), fs::create_directories(folder), InitEngine(); }
    void TearDown() override { StopRecording(), fs::remove_all(folder); }
};

TEST_F(RecorderTest, WhatTheTapPushedIsWhatAnIndependentReaderReadsBackAndASecondStartIsRefused) {
    ASSERT_TRUE(StartRecording(1, folder.string(), "Take"));
    const std::string path = recorder.filePath;
    EXPECT_NE(path.find("/Take_Vocal_"), std::string::npos);
    std::vector<short> expected;
    for (float v : {0.5f, 1.0f, -1.0f, 1.5f, -7.0f, 0.99999f, -0.00002f, NAN, INFINITY}) {
        PushRecorderFrame(v, -v);
        expected.insert(expected.end(), {Pcm(v), Pcm(-v)});
    }
    EXPECT_FALSE(StartRecording(0, (folder / "other").string(), "Second"));
    EXPECT_TRUE(IsRecorderActive());
    EXPECT_EQ(recorder.filePath, path);
    EXPECT_EQ(engine.recordMode, 1);
    EXPECT_FALSE(fs::exists(folder / "other"));
    for (int i = 0; i < 300000; ++i) {
        const float v = static_cast<float>(std::sin(i * 0.001)) * 0.9f;
        PushRecorderFrame(v, v * 0.5f);
        expected.insert(expected.end(), {Pcm(v), Pcm(v * 0.5f)});
    }
    // While the take runs its header follows within half a second: a killed take keeps all but that.
    std::string head;
    for (int i = 0; i < 200 && head != Header(2 * expected.size()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        head = ReadFile(path).substr(0, 44);
    }
    EXPECT_EQ(head, Header(2 * expected.size()));
    EXPECT_TRUE(StopRecording());
    EXPECT_TRUE(StopRecording());  // again, as shutdown does: nothing changes
    EXPECT_FALSE(IsRecorderActive());
    EXPECT_EQ(recorder.lastSavedPath, path);
    EXPECT_EQ(RecordingFailure(), RecordFailure::None);
    EXPECT_EQ(ReadPcm16(path), expected);
    EXPECT_EQ(ReadFile(path).substr(0, 44), Header(2 * expected.size()));
    EXPECT_EQ(ReadFile(path).size(), 44 + 2 * expected.size());
    EXPECT_EQ(engine.recordFramesPushed, expected.size() / 2);
    EXPECT_EQ(engine.recordFramesDropped, 0u);
}

TEST_F(RecorderTest, ATakeNeverReplacesAnExistingFileAndAnEmptyTakeIsStillValid) {
    std::vector<std::string> precious;  // the names of takes started in the next four seconds
    for (std::time_t t = std::time(nullptr), end = t + 4; t < end; ++t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        precious.push_back(RecordFileName(
            "Take", 0, {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}, 1));
        std::ofstream(folder / precious.back()) << "precious";
    }
    for (size_t frames : {0, 100, 300}) {
        ASSERT_TRUE(StartRecording(0, folder.string(), "Take"));
        EXPECT_EQ(engine.recordMode, 0);
        EXPECT_TRUE(frames > 0 || recorder.filePath.find("_2.wav") != std::string::npos) << recorder.filePath;
        for (size_t i = 0; i < frames; ++i) PushRecorderFrame(0.1f, 0.1f);  // 3276 = cc 0c
        ASSERT_TRUE(StopRecording());
        std::string data;
        for (size_t i = 0; i < 2 * frames; ++i) data += "\xcc\x0c";
        EXPECT_EQ(ReadFile(recorder.lastSavedPath), Header(4 * frames) + data);
        EXPECT_EQ(engine.recordFramesPushed, frames) << "counted per take";
    }
    for (const std::string& name : precious) EXPECT_EQ(ReadFile(folder / name), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 7);
}

TEST_F(RecorderTest, FoldersAreMadeOrRefusedWithTheirReason) {
    setenv("HOME", (folder / "home").c_str(), 1);  // an empty folder means Documents/Sonavela Recordings
    const std::pair<fs::path, fs::path> made[] = {{folder / "a/b/", folder / "a/b/Take_Mix_"},
                                                  {folder / "d", folder / "d/Take_Mix_"},
                                                  {"", folder / "home/Documents/Sonavela Recordings/Take_Mix_"}};
    for (const auto& [in, start] : made) {
        ASSERT_TRUE(StartTake(0, in, "Take")) << in;
        EXPECT_EQ(recorder.filePath.rfind(start.string(), 0), 0u) << recorder.filePath;
        EXPECT_TRUE(StopRecording());
    }
    const std::string kept = recorder.lastSavedPath;
    std::ofstream(folder / "plain") << "a file, not a folder";
    for (const fs::path& bad : {folder / "plain", folder / "plain/sub"}) {
        EXPECT_FALSE(StartRecording(0, bad.string(), "Take")) << bad;
        EXPECT_FALSE(IsRecorderActive());
        EXPECT_EQ(RecordingFailure(), RecordFailure::Folder) << RecordingFailReason();
        EXPECT_EQ(recorder.filePath, kept);  // a failed folder changes nothing else
        EXPECT_EQ(recorder.lastSavedPath, kept);
    }
    std::string reason;
    EXPECT_FALSE(EnsureRecordFolder("", reason) || reason.empty());
    fs::current_path(folder);
    ASSERT_TRUE(StartRecording(0, ".", "Here"));  // a good start clears the failure
    EXPECT_FALSE(RecordingFailed());
    EXPECT_EQ(recorder.filePath.rfind("./Here_Mix_", 0), 0u) << recorder.filePath;
}

// A disk that fills up: a take that cannot get its header leaves nothing behind; one cut mid-way keeps the
// whole frames that reached the file, announced.
TEST_F(RecorderTest, AFullDiskRefusesATakeOrEndsItWithTheWholeFramesItHolds) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    for (const rlim_t bytes : {20, 44 + 1000 * 4 + 2}) {  // bytes a file may grow to
        const rlimit small{bytes, before.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool started = StartRecording(0, folder.string(), "Full");
        for (int i = 0; i < 2000 && started; ++i) PushRecorderFrame(0.1f, 0.1f);
        EXPECT_FALSE(StopRecording() && started);
        EXPECT_EQ(RecordingFailure(), bytes == 20 ? RecordFailure::FirstHeader : RecordFailure::Write);
        EXPECT_TRUE(bytes > 20 || (recorder.filePath.empty() && fs::is_empty(folder))) << recorder.filePath;
    }
    setrlimit(RLIMIT_FSIZE, &before);
    const fs::path take = fs::directory_iterator(folder)->path();
    EXPECT_TRUE(recorder.lastSavedPath == take && ReadFile(take) == Header(4000) + ReadFile(take).substr(44, 4000))
        << "the only file, its whole frames announced";
    EXPECT_EQ(ReadPcm16(take).size(), 2000u);
}

TEST_F(RecorderTest, ATakeThatDroppedFramesIsReportedIncompleteAndTheUserIsTold) {
    for (const uint64_t dropped : {0u, 4800u}) {
        ASSERT_TRUE(StartRecording(0, folder.string(), "Drop"));
        for (int i = 0; i < 100; ++i) PushRecorderFrame(0.1f, 0.1f);
        engine.recordFramesDropped = dropped;  // as the tap counts frames a full ring refused
        EXPECT_EQ(StopTake(), dropped == 0);
        EXPECT_EQ(ReadPcm16(recorder.lastSavedPath).size(), 200u) << "the file stays valid";
        EXPECT_EQ(RecordingFailure(), dropped == 0 ? RecordFailure::None : RecordFailure::DroppedFrames);
    }
    const std::vector<Notice> told = TakeNotices();
    ASSERT_EQ(told.size(), 1u) << "told of the incomplete take alone";
    EXPECT_NE(told[0].text.find(recorder.lastSavedPath), std::string::npos) << told[0].text;
    EXPECT_NE(told[0].text.find("recorder bi mat 4800 frame (00:00:00.1)"), std::string::npos) << told[0].text;
}

TEST_F(RecorderTest, CutTakesGetAHeaderForTheWholeFramesTheyHoldAndNothingElseIsTouched) {
    ASSERT_TRUE(StartRecording(0, folder.string(), "Take"));
    for (int i = 0; i < 1000; ++i) PushRecorderFrame(0.001f * (i % 500), -0.25f);
    ASSERT_TRUE(StopRecording());
    const std::string whole = ReadFile(recorder.lastSavedPath), data = whole.substr(44);
    fs::remove(recorder.lastSavedPath);
    struct Kept {
        const char* name;
        std::string bytes;
        bool repaired;
    };
    const Kept kept[] = {{"a_zero.wav", Header(0) + data, true},     // killed before its first update
                         {"b_more.wav", Header(8000) + data, true},  // its header reached the disk, its data did not
                         {"c_half.WAV", Header(400) + data + "\x01\x02", true},  // half a frame stays, unannounced
                         {"d_whole.wav", whole, false},
                         {"e_short.wav", whole.substr(0, 30), false},
                         {"f_other.wav", "RIFF\0\0\0\0WAVEfmt " + std::string(24, '\x07') + data, false},
                         {"g_notes.txt", Header(0) + data, false}};
    for (const Kept& k : kept) std::ofstream(folder / k.name, std::ios::binary) << k.bytes;
    fs::create_symlink(folder / "a_zero.wav", folder / "a_link.wav");  // sorted first: not followed
    // A take being written is not cut, whatever its file holds.
    ASSERT_TRUE(StartRecording(0, folder.string(), "Live"));
    std::ofstream(recorder.filePath, std::ios::binary | std::ios::app) << data;
    appConfig.recordFolder = folder.string();  // as the next start finds them
    EXPECT_EQ(RecoverCutTakes(), 3);
    const std::vector<Notice> told = TakeNotices();
    const std::string length = " (dai " + TakeLength(1000) + ")";
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].text.ends_with(":\na_zero.wav" + length + "\nb_more.wav" + length + "\nc_half.WAV" + length))
        << told[0].text;
    const std::vector<short> samples = ReadPcm16((folder / "d_whole.wav").string());
    EXPECT_EQ(samples.size(), 2000u);
    for (const Kept& k : kept) {
        const std::string path = (folder / k.name).string();
        EXPECT_EQ(ReadFile(path), k.repaired ? Header(4000) + k.bytes.substr(44) : k.bytes) << k.name;
        EXPECT_EQ(ReadPcm16(path) == samples, k.repaired || k.bytes == whole) << k.name;
    }
    EXPECT_TRUE(StopRecording());
    uint64_t frames = 0;
    std::string reason;
    EXPECT_FALSE(RepairCutTake((folder / "missing.wav").string(), frames, reason));
    EXPECT_FALSE(reason.empty()) << "a file that cannot be opened says why";
}
}  // namespace
