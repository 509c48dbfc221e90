// The offline renderer: in process for exactness, and as the command-line
// tool on real WAV files checked with libsndfile and sox.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/controls.h"
#include "engine/engine_params.h"
#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"
#include "tools/render_take.h"

namespace {
namespace fs = std::filesystem;

RenderInput Take(size_t frames) {
    RenderInput in;
    in.vocalChannels = 2;
    for (size_t i = 0; i < frames; ++i) {
        in.vocal.push_back(0.4f * static_cast<float>(std::sin(i * 0.0577)));
        in.vocal.push_back(0.3f * static_cast<float>(std::sin(i * 0.0211)));
        in.beat.push_back(0.5f * static_cast<float>(std::sin(i * 0.013)));
        in.beat.push_back(0.5f * static_cast<float>(std::cos(i * 0.017)));
    }
    return in;
}

RenderResult Render(const RenderSettings& s, const RenderInput& in) {
    RenderResult r;
    std::string error;
    EXPECT_TRUE(RenderTake(s, in, r, error)) << error;
    return r;
}

std::vector<short> Recorded(const RenderResult& r) {
    EXPECT_TRUE(r.recordingComplete) << r.recordingFailReason;
    return ReadPcm16(r.recordingPath).samples;
}

TEST(OfflineRender, OutputDoesNotDependOnTheBlockSize) {
    const fs::path folder = fs::temp_directory_path() / ("sonavela-blocks-" + std::to_string(::getpid()));
    const RenderInput in = Take(20000);
    RenderSettings s;
    s.params[Param::TuneEnabled] = 0.0f;  // pitch detection runs per block, so it is timed by the block size
    s.recordFolder = folder.string();
    s.blockFrames = 64;
    const RenderResult small = Render(s, in);
    for (uint32_t block : {100u, 1024u, 4096u}) {
        s.blockFrames = block;
        const RenderResult other = Render(s, in);
        EXPECT_EQ(other.output, small.output) << block;
        EXPECT_EQ(Recorded(other), Recorded(small)) << block;
    }
    EXPECT_EQ(small.output.size(), 40000u);
    EXPECT_EQ(Recorded(small).size(), 40000u);
    EXPECT_EQ(small.blocks, (20000u + 63u) / 64u);
    fs::remove_all(folder);
}

TEST(OfflineRender, BeatLinesUpWithTheVoiceFromTheFirstFrame) {
    RenderInput in;
    in.vocal.assign(4800, 0.0f);
    in.beat.assign(2 * 4800, 0.0f);
    in.beat[2 * 1000] = 0.5f;  // a click in the left channel at frame 1000
    RenderSettings s;
    s.params[Param::BeatVolume] = 100.0f;
    s.params[Param::MasterGlue] = 0.0f;
    s.params[Param::MasterOutputDb] = 0.0f;
    const RenderResult r = Render(s, in);
    EXPECT_FLOAT_EQ(r.output[2 * 1000], 0.5f);
    EXPECT_FLOAT_EQ(r.output[2 * 999], 0.0f);
}

// Every value of the engine a control reaches, in the engine's own units.
std::vector<float> EngineSound() {
    const EngineParams& e = engine;
    return {e.vocalVolume,    e.beatVolume,     e.harmonyVolume,  e.balanceAmount,     e.balanceThresholdDb,
            e.bodyAmount,     e.optoAmount,     e.bodyPlusAmount, e.smoothAmount,      e.warmthAmount,
            e.airDb,          e.reverbLevel,    e.echoLevel,      e.glueAmount,        e.glueThreshold,
            e.masterOutputGain, e.retuneRate,   static_cast<float>(e.tuneMode),      static_cast<float>(e.tuneEnabled),
            static_cast<float>(e.fxEnabled),    static_cast<float>(e.harmonyEnabled), static_cast<float>(e.micChannelMode),
            static_cast<float>(e.studioMode)};
}

TEST(OfflineRender, WithoutOptionsItRendersWhatTheProgramPlaysOnAFirstStart) {
    RenderResult r;
    std::string error;
    ASSERT_TRUE(RenderTake(RenderSettings{}, Take(256), r, error)) << error;
    const std::vector<float> rendered = EngineSound();
    InitEngine();
    ShellState shell;
    ApplyConfigToEngine(AppConfig{}, shell);  // a first start: no config file yet
    EXPECT_EQ(EngineSound(), rendered);
}

TEST(OfflineRender, RefusesImpossibleBlockSizes) {
    RenderSettings s;
    s.blockFrames = 0;
    RenderResult r;
    std::string error;
    EXPECT_FALSE(RenderTake(s, Take(100), r, error));
    EXPECT_FALSE(error.empty());
}

// --- the command-line tool ---------------------------------------------

class RenderTool : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("sonavela-render-test-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const char* name) const { return (dir / name).string(); }

    void WriteWav(const std::string& path, int rate, int channels, const std::vector<float>& samples) const {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        sf_write_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(f);
    }

    static int Run(const std::string& args, std::string& output) {
        int status = -1;
        output = Shell(std::string(SONAVELA_RENDER_PATH) + " " + args + " 2>&1", &status);
        return status;
    }
};

TEST_F(RenderTool, RendersAMonoTakeOverAStereoBeatAndRecordsIt) {
    std::vector<float> vocal(48000), beat(2 * 24000);
    for (size_t i = 0; i < vocal.size(); ++i) vocal[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440.0 * i / 48000));
    for (size_t i = 0; i < beat.size(); ++i) beat[i] = 0.25f * static_cast<float>(std::sin(2 * M_PI * 110.0 * (i / 2) / 48000));
    WriteWav(Path("vocal.wav"), 48000, 1, vocal);
    WriteWav(Path("beat.wav"), 48000, 2, beat);

    std::string log;
    ASSERT_EQ(Run("--vocal " + Path("vocal.wav") + " --beat " + Path("beat.wav") + " --out " + Path("out.wav") +
                      " --record-folder " + Path("recs") + " --record-name Song --block 256",
                  log),
              0)
        << log;
    EXPECT_NE(log.find("[OK] output: " + Path("out.wav")), std::string::npos) << log;
    ASSERT_EQ(std::distance(fs::directory_iterator(Path("recs")), fs::directory_iterator()), 1);
    const std::string rec = fs::directory_iterator(Path("recs"))->path().string();
    EXPECT_NE(log.find("[OK] recording: " + rec + " (48000 frames pushed, 0 dropped)"), std::string::npos) << log;

    // An independent reader agrees on the shape of both files.
    EXPECT_EQ(Shell("soxi -r '" + rec + "'"), "48000\n");
    EXPECT_EQ(Shell("soxi -c '" + rec + "'"), "2\n");
    EXPECT_EQ(Shell("soxi -b '" + rec + "'"), "16\n");
    EXPECT_EQ(Shell("soxi -s '" + rec + "'"), "48000\n");
    EXPECT_EQ(Shell("soxi -s " + Path("out.wav")), "48000\n");

    SF_INFO info{};
    SNDFILE* f = sf_open(Path("out.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> out(static_cast<size_t>(info.frames) * 2);
    sf_readf_float(f, out.data(), info.frames);
    sf_close(f);
    float peak = 0.0f;
    for (float s : out) peak = std::fmax(peak, std::fabs(s));
    EXPECT_GT(peak, 0.5f);
    EXPECT_LE(peak, 0.912f);
    EXPECT_FALSE(fs::exists(Path("out.wav.partial")));
}

TEST_F(RenderTool, ExplainsWhatIsWrongWithItsInput) {
    WriteWav(Path("cd.wav"), 44100, 1, std::vector<float>(4410, 0.1f));
    std::string log;
    EXPECT_EQ(Run("--vocal " + Path("cd.wav") + " --out " + Path("out.wav"), log), 1);
    EXPECT_NE(log.find("44100 Hz"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(Path("out.wav")));

    EXPECT_EQ(Run("--vocal " + Path("missing.wav") + " --out " + Path("out.wav"), log), 1);
    EXPECT_NE(log.find("cannot read"), std::string::npos) << log;

    EXPECT_EQ(Run("--out " + Path("out.wav"), log), 2);
    EXPECT_NE(log.find("usage:"), std::string::npos);

    WriteWav(Path("v.wav"), 48000, 1, std::vector<float>(480, 0.1f));
    EXPECT_EQ(Run("--vocal " + Path("v.wav") + " --out " + Path("out.wav") + " --block loud", log), 2);
    EXPECT_NE(log.find("--block wants a number"), std::string::npos) << log;
    EXPECT_EQ(Run("--vocal " + Path("v.wav") + " --out " + Path("out.wav") + " --harmony yes", log), 2);
    EXPECT_NE(log.find("--harmony is on or off"), std::string::npos) << log;
    EXPECT_EQ(Run("--vocal " + Path("v.wav") + " --out " + Path("out.wav") + " --tune off --harmony on --tune-mode 3",
                  log),
              0)
        << log;
}
}  // namespace
