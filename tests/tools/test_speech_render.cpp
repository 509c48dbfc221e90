// The whole vocal chain on a real voice: a synthesised spoken phrase and
// full-scale noise bursts, rendered at every corner of the controls.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/shell.h"
#include "tools/synth/signals.h"
#include "tools/render_take.h"

namespace {
namespace fs = std::filesystem;

// Interleaved stereo: the RMS over both channels of frames [from, to).
double Rms(const std::vector<float>& x, size_t from, size_t to) { return RmsOf(x, 2 * from, 2 * to); }

class SpeechRender : public ::testing::Test {
protected:
    static constexpr size_t kSilence = 3 * 48000;  // after everything: the tails must die away
    static inline std::vector<float> take;
    static inline size_t speechFrames = 0;

    // Speaks once for the suite: espeak-ng to a WAV, sox to 48 kHz, read back with libsndfile.
    static void SetUpTestSuite() {
        const fs::path dir = fs::temp_directory_path() / ("sonavela-speech-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const std::string spoken = (dir / "spoken.wav").string(), voice = (dir / "voice.wav").string();
        int status = -1;
        Shell("espeak-ng -v vi -s 150 -w " + spoken + " 'Một hai ba, hát cho nhau nghe bài ca sáng ngời' 2>&1",
              &status);
        if (status == 0) Shell("sox " + spoken + " -r 48000 -c 1 -b 16 " + voice + " gain -n -3 2>&1", &status);
        SF_INFO info{};
        SNDFILE* f = status == 0 ? sf_open(voice.c_str(), SFM_READ, &info) : nullptr;
        if (f != nullptr) {
            take.resize(static_cast<size_t>(info.frames));
            sf_readf_float(f, take.data(), info.frames);
            sf_close(f);
        }
        fs::remove_all(dir);
        speechFrames = take.size();
        AppendNoiseBursts();
        take.resize(take.size() + kSilence, 0.0f);
    }

    // Four 0.2 s bursts of full-scale white noise with 0.3 s gaps.
    static void AppendNoiseBursts() {
        uint32_t seed = 12345;
        for (int burst = 0; burst < 4; ++burst) {
            for (int i = 0; i < 9600; ++i) {
                seed = seed * 1664525u + 1013904223u;
                take.push_back(static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
            }
            take.resize(take.size() + 14400, 0.0f);
        }
    }

    void SetUp() override { ASSERT_GT(speechFrames, 24000u) << "espeak-ng and sox must be installed"; }

    RenderResult Render(const ParamValues& params) const {
        RenderSettings s;
        s.params = params;
        RenderInput in;
        in.vocal = take;
        RenderResult r;
        std::string error;
        EXPECT_TRUE(RenderTake(s, in, r, error)) << error;
        return r;
    }

    void ExpectSound(const RenderResult& r) const {
        size_t nonFinite = 0;
        for (const float y : r.output) nonFinite += !std::isfinite(y);
        EXPECT_EQ(nonFinite, 0u);
        EXPECT_EQ(r.nonFiniteSamples, 0u);
        ASSERT_EQ(r.output.size(), 2 * take.size());
        const double speech = Rms(r.output, 0, speechFrames);
        EXPECT_GT(speech, 0.01) << "the voice must come through";
        // Over the closing silence the tails decay by at least 20 dB in 2.5 s,
        // or are already far below anything audible.
        const size_t quiet = take.size() - kSilence, end = take.size();
        EXPECT_LE(Rms(r.output, end - 24000, end), std::fmax(0.1 * Rms(r.output, quiet, quiet + 24000), 1e-9));
    }
};

TEST_F(SpeechRender, DefaultSettingsCarryTheVoice) {
    const RenderResult r = Render(DefaultParamValues());
    ExpectSound(r);
    RenderSettings dryRun;
    dryRun.params[Param::FxEnabled] = 0.0f;
    RenderInput in;
    in.vocal = take;
    RenderResult dry;
    std::string error;
    ASSERT_TRUE(RenderTake(dryRun, in, dry, error)) << error;
    // The effects add a tail after the last burst that the dry voice lacks.
    const size_t quiet = take.size() - kSilence + 4800;
    EXPECT_GT(Rms(r.output, quiet, quiet + 4800), 1e-3);
    EXPECT_LT(Rms(dry.output, quiet, quiet + 4800), 1e-5);
}

const Param kStages[] = {Param::VocalBalance, Param::VocalBody,   Param::VocalOpto2a, Param::VocalBodyPlus,
                         Param::VocalSmooth,  Param::VocalWarmth, Param::Reverb,      Param::Echo};

// Every stage at the same end of its control's range.
ParamValues AllStagesAt(bool top) {
    ParamValues v = DefaultParamValues();
    for (Param p : kStages) v[p] = top ? Spec(p).hi : Spec(p).lo;
    return v;
}

TEST_F(SpeechRender, EveryCornerOfTheControlsStaysFiniteAndQuietsDown) {
    for (const bool top : {false, true}) {
        for (const float airDb : {0.0f, 10.0f}) {
            SCOPED_TRACE(testing::Message() << (top ? "top" : "bottom") << " of every stage, air " << airDb << " dB");
            ParamValues v = AllStagesAt(top);
            v[Param::VocalAir] = airDb;
            // The pitch column at its strongest along with the rest.
            v[Param::TuneMode] = top ? 3.0f : 1.0f;
            v[Param::HarmonyEnabled] = top ? 1.0f : 0.0f;
            v[Param::HarmonyVolume] = top ? 45.0f : 8.0f;
            ExpectSound(Render(v));
        }
    }
}

TEST_F(SpeechRender, EachStageAloneAtFullAmountStaysFinite) {
    for (Param stage : kStages) {
        ParamValues v = AllStagesAt(false);
        v[Param::VocalAir] = 0.0f;
        v[stage] = Spec(stage).hi;
        SCOPED_TRACE(testing::Message() << "stage " << Spec(stage).key);
        ExpectSound(Render(v));
    }
}
}  // namespace
