// The offline renderer: in process for exactness, and as the command-line tool on real WAV files checked with
// libsndfile and sox.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/controls.h"
#include "engine/engine_params.h"
#include "tests/support/shell.h"
#include "tests/support/wav_reader.h"
#include "tools/render_take.h"
#include "tools/synth/signals.h"

namespace {
namespace fs = std::filesystem;
const fs::path kDir = fs::temp_directory_path() / ("sonavela-render-" + std::to_string(::getpid()));

RenderResult Render(const RenderSettings& s, const RenderInput& in) {
    RenderResult r;
    std::string error;
    EXPECT_TRUE(RenderTake(s, in, r, error)) << error;
    return r;
}

TEST(OfflineRender, OutputAndRecordingDoNotDependOnTheBlockSize) {
    RenderInput in{{}, 2, {}};
    for (int i = 0; i < 20000; ++i) {
        in.vocal.insert(in.vocal.end(), {0.4f * std::sin(i * 0.0577f), 0.3f * std::sin(i * 0.0211f)});
        in.beat.insert(in.beat.end(), {0.5f * std::sin(i * 0.013f), 0.5f * std::cos(i * 0.017f)});
    }
    RenderSettings s;
    s.params[Param::TuneEnabled] = 0.0f;     // pitch detection runs per block, so it is timed by the block size
    s.params[Param::MasterOutputDb] = 8.0f;  // loud enough to reach the clamp
    s.recordFolder = kDir.string();
    s.blockFrames = 64;
    const RenderResult small = Render(s, in);
    std::vector<short> played;  // REC MIX is what the outputs play
    for (float v : small.output) played.push_back(static_cast<short>(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767.0f));
    EXPECT_EQ(small.blocks, (20000u + 63u) / 64u);
    for (uint32_t block : {64u, 100u, 4096u}) {
        s.blockFrames = block;
        const RenderResult other = Render(s, in);
        EXPECT_EQ(other.output, small.output) << block;
        EXPECT_EQ(ReadPcm16(other.recordingPath), played) << block;
    }
    s.blockFrames = 0;
    RenderResult r;
    std::string error;
    EXPECT_FALSE(RenderTake(s, in, r, error) || error.empty());
    fs::remove_all(kDir);
}

TEST(OfflineRender, BeatLinesUpWithTheVoiceFromTheFirstFrame) {
    RenderInput in{std::vector<float>(4800), 1, std::vector<float>(2 * 4800)};
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
std::pair<std::vector<float>, std::vector<int32_t>> EngineSound() {
    const EngineParams& e = engine;
    return {{e.vocalVolume, e.beatVolume, e.harmonyVolume, e.balanceAmount, e.balanceThresholdDb, e.bodyAmount,
             e.optoAmount, e.bodyPlusAmount, e.smoothAmount, e.warmthAmount, e.airDb, e.reverbLevel, e.echoLevel,
             e.glueAmount, e.glueThreshold, e.masterOutputGain, e.retuneRate},
            {e.tuneMode, e.tuneEnabled, e.fxEnabled, e.harmonyEnabled, e.micChannelMode, e.studioMode}};
}

TEST(OfflineRender, WithoutOptionsItRendersWhatTheProgramPlaysOnAFirstStart) {
    Render(RenderSettings{}, RenderInput{std::vector<float>(256), 1, {}});
    const auto rendered = EngineSound();
    InitEngine();
    ShellState shell;
    ApplyConfigToEngine(AppConfig{}, shell);  // a first start: no config file yet
    EXPECT_EQ(EngineSound(), rendered);
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The frames a WAV file's header announces, as libsndfile reads it; -1 when it is not one.
long long FramesOf(const fs::path& p, std::vector<float>* samples = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(p.c_str(), SFM_READ, &info);
    if (f == nullptr) return -1;
    if (samples != nullptr) {
        samples->resize(info.frames * info.channels);
        samples->resize(sf_read_float(f, samples->data(), samples->size()));
    }
    sf_close(f);
    return info.frames;
}

TEST(RenderTool, RendersAMonoTakeOverAStereoBeatAndRecordsIt) {
    const std::string dir = kDir.string() + "/", out = dir + "out.wav";
    fs::create_directories(kDir);
    ASSERT_TRUE(WritePcm16(dir + "vocal.wav", 48000, 1, Sine(48000, 440.0, 0.5f)));
    std::vector<float> beat;
    for (float v : Sine(24000, 110.0, 0.25f)) beat.insert(beat.end(), {v, v});
    ASSERT_TRUE(WritePcm16(dir + "beat.wav", 48000, 2, beat));
    fs::copy_file(dir + "vocal.wav", dir + "cut.wav");
    fs::resize_file(dir + "cut.wav", 44 + 2 * 12000);  // the header still announces 1 s
    const std::string run = SONAVELA_RENDER_PATH " --vocal " + dir + "vocal.wav --out " + out;
    ASSERT_TRUE(WritePcm16(dir + "cd.wav", 44100, 1, std::vector<float>(4410, 0.1f)));
    // What is wrong with the input and the exit code that says whose fault it is, then good runs.
    const std::tuple<std::string, int, std::string> runs[] = {
        {run + " --vocal " + dir + "cd.wav", 1, "44100 Hz"},
        {run + " --vocal " + dir + "no.wav", 1, "cannot read"},
        {SONAVELA_RENDER_PATH " --out " + out, 2, "usage:"},
        {run + " --blcok 64", 2, "unknown option --blcok"},
        {run + " --mic-channel 99", 2, "--mic-channel must be a whole number 0..2, not 99"},
        {run + " --reverb 51", 2, "--reverb must be 0..50, not 51"},
        {run + " --vocal " + dir + "cut.wav", 0, "header announces 1.00 s, the file holds 0.25 s"},
        {run + " --tune off --harmony on --tune-mode 3", 0, ""},
        {run + " --beat " + dir + "beat.wav --record-folder " + dir +
             "recs --record-name Song --rec-mode vocal --block 256",
         0, "[OK] output: " + out}};
    std::string log;
    for (const auto& [args, code, message] : runs) {
        fs::remove(out);
        int status = -1;
        log = Shell(args + " 2>&1", &status);
        EXPECT_EQ(status, code) << args;
        EXPECT_NE(log.find(message), std::string::npos) << log;
        EXPECT_EQ(log.find("usage:") != std::string::npos, code == 2) << log;
        EXPECT_EQ(fs::exists(out), code == 0) << args;
    }
    const std::string rec = fs::directory_iterator(dir + "recs")->path().string();
    EXPECT_NE(rec.find("/recs/Song_Vocal_"), std::string::npos) << rec;
    EXPECT_NE(log.find("[OK] recording: " + rec + " (48000 frames pushed, 0 dropped)"), std::string::npos) << log;
    EXPECT_EQ(Shell("for f in r c b s; do soxi -$f '" + rec + "'; done | tr '\\n' ' '"), "48000 2 16 48000 ");
    EXPECT_EQ(Shell("soxi -s " + out), "48000\n");
    // Streamed from and to files, the mix is exactly what the take renders to in memory.
    RenderInput in{{}, 1, {}};
    FramesOf(dir + "vocal.wav", &in.vocal);
    FramesOf(dir + "beat.wav", &in.beat);
    RenderSettings s;
    s.blockFrames = 256;
    std::vector<float> mix;
    FramesOf(out, &mix);
    EXPECT_TRUE(Render(s, in).output == mix);
    EXPECT_EQ(std::distance(fs::directory_iterator(kDir), {}), 6) << "no temporary file is left behind";
    fs::remove_all(kDir);
}

// --out on what is not a plain file, next to a stale temporary file, and written by four renderers at once.
TEST(RenderTool, ReplacesNothingButARegularFile) {
    fs::create_directories(kDir);
    const fs::path vocal = kDir / "vocal.wav", out = kDir / "out.wav", stale = kDir / "out.wav.partial";
    ASSERT_TRUE(WritePcm16(vocal.string(), 48000, 1, Sine(24000, 440.0, 0.5f)));
    const std::string render = SONAVELA_RENDER_PATH " --block 1024 --vocal " + Quoted(vocal) + " --out ";
    // A device node (a pipe where this user may not make one): refused and left as it was.
    const fs::path node = kDir / "null";
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        ASSERT_EQ(mkfifo(node.c_str(), 0666), 0);
    }
    int status = 0;
    EXPECT_NE(Shell(render + Quoted(node) + " 2>&1", &status).find("not a regular file"), std::string::npos);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(node)));
    // A link is written through: its target gets the mix, the link stays.
    std::ofstream(kDir / "target.wav") << "old";
    fs::create_symlink("target.wav", kDir / "link.wav");
    Shell(render + Quoted(kDir / "link.wav"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_symlink(kDir / "link.wav"));
    EXPECT_EQ(FramesOf(kDir / "target.wav"), 24000);
    // Four at once onto one name, beside a stale temporary file that nobody touches.
    std::ofstream(stale) << "stale";
    const std::string four =
        Shell("for i in 1 2 3 4; do (" + render + Quoted(out) + " > /dev/null 2>&1; echo $?) & done; wait");
    EXPECT_EQ(four, "0\n0\n0\n0\n");
    EXPECT_EQ(FramesOf(out), 24000);
    EXPECT_EQ(Shell("cat " + Quoted(stale)), "stale");
    EXPECT_EQ(std::distance(fs::directory_iterator(kDir), {}), 6) << "no temporary file is left behind";
    fs::remove_all(kDir);
}

// SIGTERM mid-render: the take recorded so far and the mix rendered so far both keep a header that announces
// all of their audio; the mix stays beside the previous --out, which is not replaced by less.
TEST(RenderTool, SigtermEndsTheRenderWithWholeHeaders) {
    fs::create_directories(kDir / "recs");
    const fs::path vocal = kDir / "vocal.wav", out = kDir / "out.wav";
    ASSERT_TRUE(WritePcm16(vocal.string(), 48000, 1, Sine(30 * 48000, 440.0, 0.5f)));
    std::ofstream(out) << "previous";
    Background render("exec " SONAVELA_RENDER_PATH " --pace realtime --vocal " + Quoted(vocal) + " --out " +
                      Quoted(out) + " --record-folder " + Quoted(kDir / "recs") + " > " + Quoted(kDir / "log") +
                      " 2>&1");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int status = render.Stop();
    const std::string log = Shell("cat " + Quoted(kDir / "log"));
    EXPECT_EQ(status, 128 + SIGTERM) << log;
    EXPECT_NE(log.find("[FAIL] stopped by SIGTERM"), std::string::npos) << log;
    EXPECT_EQ(Shell("cat " + Quoted(out)), "previous");
    const fs::path take = fs::directory_iterator(kDir / "recs")->path();
    const long long taken = FramesOf(take);
    EXPECT_GT(taken, 48000) << log;
    EXPECT_EQ(fs::file_size(take), 44 + 4 * static_cast<uintmax_t>(taken));
    const size_t at = log.find(" rendered are in ");
    ASSERT_NE(at, std::string::npos) << log;
    const fs::path partial = log.substr(at + 17, log.find('\n', at) - at - 17);
    const long long mixed = FramesOf(partial);
    EXPECT_GT(mixed, 48000) << log;
    EXPECT_LT(fs::file_size(partial) - 8 * static_cast<uintmax_t>(mixed), 256u) << "a header that announces all";
    fs::remove_all(kDir);
}

// A spoken phrase (espeak-ng, then sox to 48 kHz), four 0.2 s bursts of full-scale noise 0.3 s apart, then 3 s of
// silence in which the tails must die away, rendered at every corner of the controls.
TEST(SpeechRender, EveryCornerOfTheControlsCarriesTheVoiceStaysFiniteAndQuietsDown) {
    fs::create_directories(kDir);
    const std::string spoken = (kDir / "spoken.wav").string(), voice = (kDir / "voice.wav").string();
    Shell("espeak-ng -v vi -s 150 -w " + spoken + " 'Một hai ba, hát cho nhau nghe bài ca sáng ngời' 2>&1 && sox " +
          spoken + " -r 48000 -c 1 -b 16 " + voice + " gain -n -3 2>&1");
    RenderInput in;
    for (short s : ReadPcm16(voice)) in.vocal.push_back(s / 32768.0f);
    fs::remove_all(kDir);
    const size_t speech = in.vocal.size(), quiet = speech + 4 * 24000, end = quiet + 3 * 48000;
    ASSERT_GT(speech, 24000u) << "espeak-ng and sox must be installed";
    uint32_t seed = 12345;
    for (int i = 0; i < 4 * 24000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        in.vocal.push_back(i % 24000 < 9600 ? static_cast<float>(seed >> 8) / 8388608.0f - 1.0f : 0.0f);
    }
    in.vocal.resize(end, 0.0f);

    const Param stages[] = {Param::VocalBalance, Param::VocalBody,   Param::VocalOpto2a, Param::VocalBodyPlus,
                            Param::VocalSmooth,  Param::VocalWarmth, Param::Reverb,      Param::Echo};
    std::vector<std::pair<std::string, ParamValues>> corners = {{"defaults", DefaultParamValues()}};
    for (const bool top : {false, true}) {
        for (const float airDb : {0.0f, 10.0f}) {
            ParamValues v = DefaultParamValues();
            for (Param p : stages) v[p] = top ? Spec(p).hi : Spec(p).lo;
            v[Param::VocalAir] = airDb;
            v[Param::TuneMode] = top ? 3.0f : 1.0f;  // the pitch column at its strongest along with the rest
            v[Param::HarmonyEnabled] = top ? 1.0f : 0.0f;
            v[Param::HarmonyVolume] = top ? 45.0f : 8.0f;
            corners.push_back({(top ? "top, air " : "bottom, air ") + std::to_string(airDb), v});
        }
    }
    for (const auto& [name, params] : corners) {
        SCOPED_TRACE(name);
        RenderSettings s;
        s.params = params;
        const RenderResult r = Render(s, in);
        ASSERT_EQ(r.output.size(), 2 * end);
        EXPECT_TRUE(std::all_of(r.output.begin(), r.output.end(), [](float y) { return std::isfinite(y); }));
        EXPECT_EQ(r.nonFiniteSamples, 0u);
        EXPECT_GT(RmsOf(r.output, 0, 2 * speech), 0.01) << "the voice must come through";
        // Over the closing silence the tails decay by 20 dB in 2.5 s, or are already far below anything audible.
        EXPECT_LE(RmsOf(r.output, 2 * (end - 24000), 2 * end),
                  std::fmax(0.1 * RmsOf(r.output, 2 * quiet, 2 * quiet + 48000), 1e-9));
        // Just after the last burst the default effects leave a tail.
        const double tail = RmsOf(r.output, 2 * (quiet + 4800), 2 * (quiet + 9600));
        EXPECT_TRUE(name != "defaults" || tail > 1e-3) << tail;
    }
}
}  // namespace
