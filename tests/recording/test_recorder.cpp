// The recorder on real files in a private folder, read back with libsndfile.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "engine/engine_setters.h"
#include "engine/record_ring.h"
#include "recording/record_folder.h"
#include "recording/record_name.h"
#include "recording/wav_header.h"
#include "tests/recording/recording_folder.h"
#include "tests/support/wav_reader.h"
#include "app/takes.h"
#include "tools/render_take.h"

namespace {
namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

short Pcm(float v) { return std::isfinite(v) ? static_cast<short>(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767.0f) : 0; }

TEST(WavHeader, AnnouncesWholeFramesThatFitTheRiffSize) {
    const auto small = BuildWavHeader(1000);
    const std::string h(small.begin(), small.end());
    EXPECT_EQ(h.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(h, 4), 1036u);
    EXPECT_EQ(h.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(h, 16), 16u);
    EXPECT_EQ(Le32(h, 20), 1u | (2u << 16));  // PCM, two channels
    EXPECT_EQ(Le32(h, 24), 48000u);
    EXPECT_EQ(Le32(h, 28), 192000u);
    EXPECT_EQ(Le32(h, 32), 4u | (16u << 16));
    EXPECT_EQ(h.substr(36, 4), "data");
    EXPECT_EQ(Le32(h, 40), 1000u);

    const auto partFrame = BuildWavHeader(1003);
    EXPECT_EQ(Le32(std::string(partFrame.begin(), partFrame.end()), 40), 1000u);
    for (uint64_t huge : {0xFFFFFFD8ull, 0xFFFFFFDBull, 0xFFFFFFFFull, 0x1000000000ull}) {
        const auto capped = BuildWavHeader(huge);
        const std::string c(capped.begin(), capped.end());
        EXPECT_EQ(Le32(c, 40), 0xFFFFFFD8u) << huge;
        EXPECT_EQ(Le32(c, 4), 0xFFFFFFFCu) << huge;
        EXPECT_EQ(Le32(c, 40) % 4, 0u);
    }
}

TEST_F(RecorderTest, WhatTheTapPushedIsWhatAnIndependentReaderReadsBack) {
    ASSERT_TRUE(StartRecording(0, folder.string(), "Take"));
    EXPECT_TRUE(IsRecorderActive());
    const float edges[] = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.5f, -7.0f, 0.99999f, -0.00002f, 0.00004f, NAN, INFINITY};
    std::vector<short> expected;
    for (float v : edges) {
        PushRecorderFrame(v, -v);
        expected.push_back(Pcm(v));
        expected.push_back(Pcm(-v));
    }
    EXPECT_EQ(expected[2], 16383);   // truncated toward zero, not rounded
    EXPECT_EQ(expected[14], 32766);  // 0.99999
    EXPECT_EQ(expected[16], 0);      // -0.00002
    // Longer than one header period, so the periodic rewrite happens on the way.
    for (int i = 0; i < 300000; ++i) {
        const float v = static_cast<float>(std::sin(i * 0.001)) * 0.9f;
        PushRecorderFrame(v, v * 0.5f);
        expected.push_back(Pcm(v));
        expected.push_back(Pcm(v * 0.5f));
    }
    const std::string path = recorder.filePath;
    EXPECT_TRUE(StopRecording());
    EXPECT_FALSE(IsRecorderActive());
    EXPECT_EQ(recorder.lastSavedPath, path);
    EXPECT_FALSE(RecordingFailed());
    EXPECT_EQ(RecordingFailReason(), "");

    const ReadBack back = ReadPcm16(path);
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.info.samplerate, 48000);
    EXPECT_EQ(back.info.channels, 2);
    EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(back.samples, expected);
    const std::string bytes = Bytes(path);
    EXPECT_EQ(bytes.size(), 44 + 2 * expected.size());
    const auto header = BuildWavHeader(2 * expected.size());
    EXPECT_EQ(bytes.substr(0, 44), std::string(header.begin(), header.end()));
    EXPECT_EQ(GetRecordFramesPushed(), expected.size() / 2);
    EXPECT_EQ(GetRecordFramesDropped(), 0u);
}

TEST_F(RecorderTest, RecMixIsWhatTheOutputsPlayAndRecVocalLeavesTheBeatOut) {
    RenderInput in;
    in.vocalChannels = 1;
    for (int i = 0; i < 30000; ++i) {
        in.vocal.push_back(0.6f * static_cast<float>(std::sin(i * 0.06)));
        in.beat.push_back(0.7f * static_cast<float>(std::sin(i * 0.011)));
        in.beat.push_back(0.7f * static_cast<float>(std::cos(i * 0.017)));
    }
    RenderSettings s;
    s.recordFolder = folder.string();
    s.params[Param::BeatVolume] = 100.0f;
    s.params[Param::MasterOutputDb] = 8.0f;  // loud enough to reach the clamp
    RenderResult mix;
    std::string error;
    ASSERT_TRUE(RenderTake(s, in, mix, error)) << error;
    ASSERT_TRUE(mix.recordingComplete);
    EXPECT_NE(mix.recordingPath.find("/Take_Mix_"), std::string::npos);
    std::vector<short> played;
    for (float v : mix.output) played.push_back(Pcm(v));
    EXPECT_EQ(ReadPcm16(mix.recordingPath).samples, played);

    s.recordMode = 1;
    RenderResult vocalA, vocalB;
    ASSERT_TRUE(RenderTake(s, in, vocalA, error)) << error;
    for (float& v : in.beat) v = -v * 0.5f;
    ASSERT_TRUE(RenderTake(s, in, vocalB, error)) << error;
    EXPECT_NE(vocalA.recordingPath.find("/Take_Vocal_"), std::string::npos);
    const std::vector<short> a = ReadPcm16(vocalA.recordingPath).samples;
    EXPECT_EQ(a.size(), played.size());
    EXPECT_EQ(a, ReadPcm16(vocalB.recordingPath).samples);
    EXPECT_NE(a, played);
    EXPECT_EQ(Files(folder).size(), 3u);
}

TEST_F(RecorderTest, AStopRightAfterTheStartLeavesAValidEmptyFile) {
    ASSERT_TRUE(StartRecording(1, folder.string(), "Take"));
    const std::string path = recorder.filePath;
    EXPECT_TRUE(StopRecording());
    const std::string bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(Le32(bytes, 4), 36u);
    EXPECT_EQ(Le32(bytes, 40), 0u);
    const ReadBack back = ReadPcm16(path);
    EXPECT_TRUE(back.opened);
    EXPECT_EQ(back.info.frames, 0);
    // Stopping again, as shutdown does, changes nothing.
    EXPECT_TRUE(StopRecording());
    EXPECT_EQ(recorder.lastSavedPath, path);
    EXPECT_EQ(Bytes(path), bytes);
}

TEST_F(RecorderTest, AStartWhileRecordingIsRefusedAndLeavesTheTakeAlone) {
    ASSERT_TRUE(StartRecording(0, folder.string(), "First"));
    const std::string path = recorder.filePath;
    for (int i = 0; i < 1000; ++i) PushRecorderFrame(0.25f, 0.25f);
    EXPECT_FALSE(StartRecording(1, (folder / "other").string(), "Second"));
    EXPECT_TRUE(IsRecorderActive());
    EXPECT_EQ(recorder.filePath, path);
    EXPECT_EQ(engine.recordMode, 0);
    EXPECT_FALSE(fs::exists(folder / "other"));
    for (int i = 0; i < 1000; ++i) PushRecorderFrame(0.25f, 0.25f);
    EXPECT_TRUE(StopRecording());
    EXPECT_EQ(ReadPcm16(path).info.frames, 2000);
}

// The name a take started in the second `offset` seconds from now would get.
std::string NameAt(int offset, uint32_t attempt) {
    const std::time_t t = std::time(nullptr) + offset;
    std::tm tm{};
    localtime_r(&t, &tm);
    const LocalTime lt{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return RecordFileName("Take", 0, lt, attempt);
}

TEST_F(RecorderTest, ATakeNeverReplacesAnExistingFile) {
    for (int offset = 0; offset < 4; ++offset) std::ofstream(folder / NameAt(offset, 1)) << "precious";
    std::vector<std::string> takes;
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(StartRecording(0, folder.string(), "Take"));
        takes.push_back(recorder.filePath);
        for (int i = 0; i < 100 * round; ++i) PushRecorderFrame(0.1f, 0.1f);
        ASSERT_TRUE(StopRecording());
    }
    EXPECT_NE(takes[0].find("_2.wav"), std::string::npos) << takes[0];
    for (int round = 1; round <= 3; ++round) EXPECT_EQ(ReadPcm16(takes[round - 1]).info.frames, 100 * round);
    for (int offset = 0; offset < 4; ++offset) EXPECT_EQ(Bytes(folder / NameAt(offset, 1)), "precious");
    EXPECT_EQ(Files(folder).size(), 7u);
}

TEST_F(RecorderTest, FoldersAreMadeAndJoinedWithOneSeparator) {
    ASSERT_TRUE(StartRecording(0, (folder / "a/b/c/").string(), "Take"));
    EXPECT_EQ(recorder.filePath.rfind((folder / "a/b/c/Take_Mix_").string(), 0), 0u) << recorder.filePath;
    EXPECT_TRUE(StopRecording());
    ASSERT_TRUE(StartRecording(0, (folder / "d").string(), "Take"));
    EXPECT_EQ(recorder.filePath.rfind((folder / "d/Take_Mix_").string(), 0), 0u) << recorder.filePath;
    EXPECT_TRUE(StopRecording());

    const fs::path before = fs::current_path();
    fs::current_path(folder);
    ASSERT_TRUE(StartRecording(0, ".", "Here"));
    EXPECT_EQ(recorder.filePath.rfind("./Here_Mix_", 0), 0u) << recorder.filePath;
    EXPECT_TRUE(StopRecording());
    fs::current_path(before);
    EXPECT_EQ(Files(folder).size(), 3u);
}

TEST_F(RecorderTest, AFolderThatCannotBeMadeIsRefusedWithItsReason) {
    ASSERT_TRUE(StartRecording(0, folder.string(), "Kept"));
    EXPECT_TRUE(StopRecording());
    const std::string kept = recorder.lastSavedPath;
    std::ofstream(folder / "plain") << "a file, not a folder";
    for (const fs::path& bad : {folder / "plain", folder / "plain/sub"}) {
        EXPECT_FALSE(StartRecording(0, bad.string(), "Take")) << bad;
        EXPECT_FALSE(IsRecorderActive());
        EXPECT_TRUE(RecordingFailed());
        EXPECT_EQ(RecordingFailure(), RecordFailure::Folder) << RecordingFailReason();
        EXPECT_EQ(recorder.filePath, kept);  // a failed folder changes nothing else
        EXPECT_EQ(recorder.lastSavedPath, kept);
    }
    // A good start afterwards clears the failure.
    ASSERT_TRUE(StartRecording(0, folder.string(), "Take"));
    EXPECT_FALSE(RecordingFailed());
    EXPECT_TRUE(StopRecording());
}

TEST_F(RecorderTest, AnEmptyFolderMeansTheDocumentsRecordingsFolder) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", (folder / "home").c_str(), 1);
    const bool started = StartTake(0, "", "Take");
    setenv("HOME", home.c_str(), 1);
    ASSERT_TRUE(started);
    EXPECT_EQ(recorder.filePath.rfind((folder / "home/Documents/Sonavela Recordings/Take_Mix_").string(), 0), 0u)
        << recorder.filePath;
    EXPECT_TRUE(StopRecording());
}

// --- the folder chooser ------------------------------------------------------

class FolderChooser : public RecorderTest {
protected:
    std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        RecorderTest::TearDown();
    }
    // A stand-in for the desktop's chooser that records its arguments.
    void InstallChooser(const std::string& answer, int exitCode) {
        fs::create_directories(folder / "bin");
        std::ofstream script(folder / "bin/zenity");
        script << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (folder / "args").string() << "'\nprintf '%s\\n' '"
               << answer << "'\nexit " << exitCode << "\n";
        script.close();
        fs::permissions(folder / "bin/zenity", fs::perms::owner_all);
        setenv("PATH", (folder / "bin").c_str(), 1);
    }
};

TEST_F(FolderChooser, ReturnsTheChosenFolderInUtf8) {
    InstallChooser("/tmp/Thư mục của tôi", 0);
    EXPECT_EQ(PickRecordFolder(nullptr), "/tmp/Thư mục của tôi");
    EXPECT_EQ(Bytes(folder / "args"), "--file-selection\n--directory\n--title=Chon thu muc luu ban thu Sonavela\n");
}

TEST_F(FolderChooser, CancelOrNoChooserGivesNothing) {
    InstallChooser("/tmp/ignored", 1);
    EXPECT_EQ(PickRecordFolder(nullptr), "");
    setenv("PATH", (folder / "nothing-here").c_str(), 1);
    EXPECT_EQ(PickRecordFolder(nullptr), "");
}
}  // namespace
