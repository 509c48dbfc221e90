// The auto-tune measured from outside: detection against the synthesised pitch,
// the correction from the output pitch, the splices from the output waveform.

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "engine/auto_tune.h"
#include "engine/denormals.h"
#include "engine/splice_shifter.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"
#include "tools/synth/singing.h"

namespace {
class AutoTune : public EngineTest {};
const double kFlat = 56.7;  // 30 cents under A3

// Drives the stage as the callback does; onBlock sees the samples done so far.
std::vector<float> Tune(const std::vector<float>& in, unsigned block = 128,
                        const std::function<void(size_t)>& onBlock = nullptr) {
    ScopedDenormalFlush flush;
    std::vector<float> out(in.size());
    for (size_t at = 0; at < in.size(); at += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, in.size() - at));
        ProcessAutoTune(in.data() + at, out.data() + at, n);
        if (onBlock) onBlock(at + n);
    }
    return out;
}

bool DetectionRan() { return engine.autoTune.blockCounter == 0; }
double Note() { return engine.detectedNote.load(); }

Voice Varied(double hz, double vibratoCents, double fundamental = 1.0) {
    Voice v = SteadyVoice(hz);
    v.vibratoHz = 5.5, v.vibratoCents = vibratoCents, v.fundamentalGain = fundamental;
    return v;
}

// Worst detection error in cents, a missing note counting as 100. The detector
// compares the oldest 80 of its 12 kHz samples with those a period later: the
// truth is the voice's instantaneous pitch there.
double WorstCents(const Voice& v, unsigned frames, bool tuneOn, std::vector<float>* in = nullptr,
                  std::vector<float>* out = nullptr) {
    InitEngine();
    if (!tuneOn) ToggleTune();
    const std::vector<float> sung = Sing(v, frames);
    double worst = 0.0;
    const std::vector<float> tuned = Tune(sung, 128, [&](size_t end) {
        if (!DetectionRan() || end < 1040) return;
        const double t = (end - 1040.0 + 2.0 * (79.0 + 12000.0 / v.hz(end / kTestRate))) / kTestRate;
        const double truth = v.hz(t) * std::pow(2.0, v.vibratoCents / 1200.0 * std::sin(2.0 * M_PI * v.vibratoHz * t));
        worst = std::max(worst, Note() < 0.0 ? 100.0 : std::fabs(100.0 * (Note() - NoteOfHz(truth))));
    });
    if (in) *in = sung, *out = tuned;
    return worst;
}

// Median shift of the output pitch over the input's, in cents, over 4096-sample windows from `from`.
double ShiftCents(const std::vector<float>& in, const std::vector<float>& out, size_t from, double hz) {
    std::vector<double> c;
    for (size_t at = from; at + 4096 <= out.size(); at += 4096) {
        c.push_back(CentsBetween(MeasurePitchHz(out, at, at + 4096, hz), MeasurePitchHz(in, at, at + 4096, hz)));
    }
    std::nth_element(c.begin(), c.begin() + static_cast<long>(c.size() / 2), c.end());
    return c[c.size() / 2];
}

TEST_F(AutoTune, DetectsSteadyVibratoWeakFundamentalAndGlidingVoicesWithinTenCents) {
    for (const double hz : {80.0, 123.0, 208.0, 349.0, 587.0, 740.0}) {
        for (const auto& [vibrato, fundamental] : {std::pair{0.0, 1.0}, {30.0, 0.1}, {0.0, 0.2}}) {
            if (hz > 700.0 && vibrato > 0.0) continue;  // a vibrato would leave the range
            // At the top one 12 kHz lag spans a semitone: the parabola's bias shows.
            EXPECT_LT(WorstCents(Varied(hz, vibrato, fundamental), 24000, true), hz > 700.0 ? 12.0 : 10.0)
                << hz << " Hz, vibrato " << vibrato << ", fundamental " << fundamental;
        }
    }
    Voice glide = Varied(150.0, 30.0);  // switched off it passes the voice untouched and still follows it
    glide.hz = [](double t) { return 150.0 * std::pow(2.0, std::min(t, 1.0)); };
    std::vector<float> in, out;
    EXPECT_LT(WorstCents(glide, 72000, false, &in, &out), 10.0);
    EXPECT_TRUE(out == in);
}

TEST_F(AutoTune, EachStylePullsAnOffNoteByItsAmountWithItsGlideTime) {
    struct Case { int style; double offCents, expected, tau; };
    for (const Case c : {Case{2, -30, 17.6, 400.0}, {1, -30, 9.6, 833.3}, {3, -30, 30.0, 31.25}, {2, -40, 17.07, 400.0},
                         {2, 30, -17.6, 400.0}, {2, -49, 0.0, 400.0}, {1, 50, 0.0, 833.3}, {3, 45, -45.0, 31.25}}) {
        InitEngine();
        SetTuneMode(c.style);
        const double hz = HzOfNote(57.0 + c.offCents / 100.0);
        const std::vector<float> in = Sing(SteadyVoice(hz), 3 * 48000);
        double glide = -1.0;  // the ratio's time constant over the block after the first note
        const std::vector<float> out = Tune(in, 128, [&](size_t) {
            const float target = engine.autoTune.targetRatio, ratio = engine.autoTune.ratio;
            if (glide < 0.0 && target != 1.0f) glide = -128.0 / std::log((target - ratio) / (target - 1.0f));
        });
        EXPECT_NEAR(ShiftCents(in, out, 24000, hz), c.expected, 2.0) << c.style << ", " << c.offCents << " cents";
        if (c.expected != 0.0) {
            EXPECT_NEAR(glide, c.tau, 0.02 * c.tau) << c.style;
        }
    }
}

// A low voice with nothing above 800 Hz, 30 cents off in style 3: a splice every second or so.
TEST_F(AutoTune, SplicesAreSmoothKeepTheLevelAndTheDelayInRange) {
    for (const double off : {-30.0, 30.0}) {
        InitEngine();
        SetTuneMode(3);
        Voice voice = Varied(HzOfNote(48.0 + off / 100.0), 15.0);
        voice.harmonics = 6;
        const std::vector<float> in = Sing(voice, 8 * 48000);
        float last = kShifterNominalDelay, lo = last, hi = last;
        int splices = 0;
        const std::vector<float> out = Tune(in, 128, [&](size_t) {
            const float d = engine.autoTune.shifter.delay;
            lo = std::min(lo, d), hi = std::max(hi, d);
            splices += std::fabs(d - last) > 100.0f;
            last = d;
        });
        auto maxStep = [](const std::vector<float>& x) {
            double m = 0.0;
            for (size_t i = 24000; i < x.size(); ++i) m = std::max(m, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
            return m;
        };
        EXPECT_GE(splices, 3);
        EXPECT_LT(maxStep(out) / maxStep(in), 1.1);  // no click
        EXPECT_NEAR(Db(RmsOf(out, 24000, out.size()) / RmsOf(in, 24000, in.size())), 0.0, 1.0);
        EXPECT_TRUE(lo >= kShifterMinDelay && hi <= kShifterMaxDelay) << lo << ".." << hi;
    }
}

// 512-frame blocks put detections 2048 samples apart: after the voice every window is silent.
TEST_F(AutoTune, HoldsTheCorrectionForSixteenDetectionsThenLetsGo) {
    SetTuneMode(2);
    std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), 24 * 2048);
    in.resize(2 * in.size(), 0.0f);
    std::vector<std::pair<double, float>> seen;  // note and target from the last voiced detection on
    Tune(in, 512, [&](size_t end) {
        if (DetectionRan() && end >= 24 * 2048) seen.emplace_back(Note(), engine.autoTune.targetRatio);
    });
    ASSERT_EQ(seen.size(), 25u);
    EXPECT_NEAR(seen[0].first, kFlat, 0.1);
    for (size_t k = 1; k <= 16; ++k) EXPECT_EQ(seen[k], seen[0]) << k;
    EXPECT_EQ(seen[17], std::make_pair(-1.0, 1.0f));
    EXPECT_NEAR(engine.autoTune.shifter.delay, kShifterNominalDelay, 0.5f);
}

TEST_F(AutoTune, HarshAndNonFiniteInputLeaveNoStuckStateAtAnyBlockSize) {
    for (const unsigned block : {1u, 128u, 1024u}) {
        InitEngine();
        SetTuneMode(3);
        std::vector<float> in(24000, 0.0f);
        for (unsigned i = 0; i < 24000; ++i) in.push_back(i / 120 % 2 ? -1.0f : 1.0f);  // 200 Hz at full scale
        in[30000] = NAN, in[40000] = INFINITY, in[40001] = -INFINITY;
        const size_t voice = in.size();
        for (const float x : Sing(SteadyVoice(HzOfNote(kFlat)), 3 * 48000)) in.push_back(x);
        const std::vector<float> out = Tune(in, block);
        EXPECT_TRUE(std::all_of(out.begin() + voice, out.end(), [](float y) { return std::fabs(y) <= 1.0f; }));
        EXPECT_NEAR(Note(), kFlat, 0.1) << block;
        EXPECT_NEAR(ShiftCents(in, out, voice + 24000, HzOfNote(kFlat)), 30.0, 2.0) << block;
    }
}
}  // namespace
