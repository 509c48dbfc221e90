// The auto-tune and the harmony measured from outside: detection against the synthesised
// pitch, correction and voices from the output pitch, the key learnt from sung tunes.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <functional>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "engine/auto_tune.h"
#include "engine/denormals.h"
#include "engine/harmony.h"
#include "engine/key_detector.h"
#include "engine/master_bus.h"
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

double Note() { return engine.detectedNote.load(); }

// Median shift of the output pitch over the input's, in cents, over 4096-sample windows from `from`.
double ShiftCents(const std::vector<float>& in, const std::vector<float>& out, size_t from, double hz) {
    std::vector<double> c;
    for (size_t at = from; at + 4096 <= out.size(); at += 4096) {
        c.push_back(CentsBetween(MeasurePitchHz(out, at, at + 4096, hz), MeasurePitchHz(in, at, at + 4096, hz)));
    }
    std::nth_element(c.begin(), c.begin() + static_cast<long>(c.size() / 2), c.end());
    return c[c.size() / 2];
}

float LargestStep(const std::vector<float>& y) {
    float step = 0.0f;
    for (size_t i = 1; i < y.size(); ++i) step = std::max(step, std::fabs(y[i] - y[i - 1]));
    return step;
}

TEST_F(AutoTune, EachStylePullsAnOffNoteByItsAmountWithItsGlideTime) {
    // style, cents off the note, shift expected, glide time constant in samples
    const std::tuple<int, double, double, double> cases[] = {
        {2, -30, 17.6, 400.0}, {1, -30, 9.6, 833.3}, {3, -30, 30.0, 31.25}, {2, -40, 17.07, 400.0},
        {2, 30, -17.6, 400.0}, {2, -49, 0.0, 400.0}, {1, 50, 0.0, 833.3},   {3, 45, -45.0, 31.25}};
    for (const auto& [style, offCents, expected, tau] : cases) {
        InitEngine();
        SetTuneMode(style);
        const double hz = HzOfNote(57.0 + offCents / 100.0);
        const std::vector<float> in = Sing(SteadyVoice(hz), 3 * 48000);
        double glide = -1.0;  // the ratio's time constant over the block after the first note
        float delay = 0.0f;   // the splices keep the read inside the ring's span
        const std::vector<float> out = Tune(in, 128, [&](size_t) {
            const float target = engine.autoTune.targetRatio, ratio = engine.autoTune.shifter.ratio;
            if (glide < 0.0 && target != 1.0f) glide = -128.0 / std::log((target - ratio) / (target - 1.0f));
            delay = std::max(delay, engine.autoTune.shifter.delay);
        });
        EXPECT_LT(delay, kShifterMaxDelay);
        EXPECT_LT(LargestStep(out), 1.1f * LargestStep(in)) << "a click at a splice";
        EXPECT_NEAR(ShiftCents(in, out, 24000, hz), expected, 2.0) << style << ", " << offCents << " cents";
        EXPECT_NEAR(expected == 0.0 ? tau : glide, tau, 0.02 * tau) << style;  // a glide where a note is pulled
    }
}

// A singer's set: low closed vowels with weak fundamentals, mid and high voices on every vowel, steady or with
// a 5.5 Hz vibrato, some breathy, each a little off its semitone.
struct Sung {
    double note, cents;  // the semitone and how far off it
    char vowel;
    double fundamental, vibrato, breath;
};
const Sung kSingers[] = {{40, 15, 'i', 0.3, 0, 0},      {40, 10, 'i', 0.1, 30, 0.05}, {41, -15, 'u', 0.1, 30, 0.05},
                         {41, -22, 'i', 0.3, 0, 0.1},   {41, 15, 'i', 0.1, 30, 0},    {42, 35, 'u', 0.1, 0, 0},
                         {43, -15, 'i', 0.1, 30, 0.05}, {43, 12, 'i', 0.3, 0, 0},     {44, -15, 'i', 0.3, 30, 0},
                         {45, -34, 'i', 0.1, 0, 0},     {45, 15, 'i', 0.1, 0, 0.05},  {46, 15, 'u', 0.3, 30, 0},
                         {42, -15, 'u', 1, 30, 0},      {45, -15, 'o', 1, 30, 0},     {48, 0, 'u', 0.3, 30, 0},
                         {50, 15, 'e', 0.3, 0, 0.05},   {53, -15, 'a', 1, 30, 0.05},  {55, 15, 'i', 1, 0, 0},
                         {57, 15, 'a', 1, 30, 0},       {57, -15, 'a', 1, 30, 0},     {60, -15, 'u', 0.3, 30, 0},
                         {62, 15, 'o', 1, 0, 0.05},     {64, 15, 'e', 1, 30, 0},      {67, -15, 'i', 0.3, 0, 0},
                         {69, 15, 'a', 1, 30, 0.05},    {72, -15, 'o', 1, 0, 0},      {74, 15, 'u', 1, 30, 0},
                         {77, -15, 'e', 1, 0, 0.05}};

// The output's pitch in cents from `note`, over 2048-sample windows every 512 samples in [from, to).
std::vector<double> PitchTrack(const std::vector<float>& y, double note, size_t from, size_t to) {
    std::vector<double> cents;
    for (size_t at = from; at + 2048 <= to; at += 512) {
        cents.push_back(CentsBetween(MeasurePitchHz(y, at, at + 2048, HzOfNote(note)), HzOfNote(note)));
    }
    return cents;
}

// The amplitude of a pitch track's 5.5 Hz movement (a 2048-sample window keeps 91 % of it).
double VibratoCents(const std::vector<double>& cents) {
    const double mean = std::accumulate(cents.begin(), cents.end(), 0.0) / static_cast<double>(cents.size());
    std::complex<double> sum = 0.0;
    for (size_t k = 0; k < cents.size(); ++k)
        sum += (cents[k] - mean) * std::polar(1.0, -2.0 * M_PI * 5.5 * k * 512 / 48000.0);
    return 2.0 * std::abs(sum) / static_cast<double>(cents.size());
}

// The largest change, in dB, of the level over one period between two moments 5 ms apart.
double WorstLevelStep(const std::vector<float>& y, double period, size_t from) {
    std::vector<double> level;
    for (size_t at = from; at + period <= y.size(); at += 48)
        level.push_back(Db(RmsOf(y, at, at + static_cast<size_t>(period))));
    double worst = 0.0;
    for (size_t k = 5; k < level.size(); ++k) worst = std::max(worst, std::fabs(level[k] - level[k - 5]));
    return worst;
}

// Hard tune lands every moment on the semitone, vibrato included, because each read is corrected for the pitch
// sung where it reads; the softer styles keep most of a vibrato by their slow glides. A detection is gross when
// more than 50 cents off the sung pitch at its window's centre.
TEST_F(AutoTune, AVariedSetOfSingersLandsOnTheSemitoneReadAtTheirPitchWithoutDipsAtSplices) {
    std::vector<double> off;
    double vibrato[4] = {}, dip = 0.0;
    int gross[2] = {}, detections[2] = {};  // mid and high voices, low ones
    for (const int style : {3, 2, 1}) {
        for (const Sung& sung : kSingers) {
            if (style != 3 && sung.note != 57) continue;  // the softer styles on A3 with vibrato, 15 cents off
            InitEngine();
            SetTuneMode(style);
            Voice v = WithVowel(SteadyVoice(HzOfNote(sung.note + sung.cents / 100.0)), sung.vowel);
            v.fundamentalGain = sung.fundamental, v.vibratoHz = 5.5, v.vibratoCents = sung.vibrato,
            v.breath = sung.breath;
            const std::vector<float> in = Sing(v, 96000);               // splices that dip are rare: 2 s for the level
            const bool low = sung.note < 47 && sung.fundamental < 1.0;  // closed vowels, weak fundamentals
            const std::vector<float> out = Tune(in, 128, [&](size_t end) {
                if (engine.autoTune.blockCounter != 0 || end < 4800) return;
                const double t = (static_cast<double>(end) - 773.0) / 48000.0;
                const double note = NoteOfHz(v.hz(t)) + sung.vibrato / 100.0 * std::sin(2.0 * M_PI * 5.5 * t);
                ++detections[low];
                gross[low] += std::fabs(Note() - note) > 0.5;
            });
            const std::vector<double> track =
                PitchTrack(out, style == 3 ? sung.note : sung.note + sung.cents / 100.0, 14400, 72000);
            if (sung.vibrato > 0.0) vibrato[style] = std::max(vibrato[style], VibratoCents(track));
            if (style != 3) continue;
            for (const double c : track) off.push_back(std::fabs(c));
            const double period = 48000.0 / HzOfNote(sung.note);
            dip = std::max(dip, WorstLevelStep(out, period, 14400) - WorstLevelStep(in, period, 14400));
        }
    }
    std::sort(off.begin(), off.end());
    const double p95 = off[off.size() * 95 / 100], lowGross = 100.0 * gross[1] / detections[1];
    for (const auto& [name, value] : {std::pair{"hard_tune_p95_cents", p95},
                                      {"low_closed_vowels_gross_pct", lowGross},
                                      {"other_voices_gross_detections", gross[0]},
                                      {"vibrato_left_cents_style3", vibrato[3]},
                                      {"vibrato_left_cents_style2", vibrato[2]},
                                      {"vibrato_left_cents_style1", vibrato[1]},
                                      {"worst_splice_level_db", dip}}) {
        RecordProperty(name, std::to_string(value));
    }
    EXPECT_LE(p95, 5.0);
    EXPECT_LE(vibrato[3], 3.0);
    EXPECT_GE(std::min(vibrato[1], vibrato[2]), 15.0);
    EXPECT_LE(dip, 1.0);
    EXPECT_LE(lowGross, 2.0);
    EXPECT_EQ(gross[0], 0);
}

// With 512-frame blocks every block ends in a detection: the one 512 samples after the voice still hears
// it, every later one is silent. The read, up to 3200 samples behind, reaches the let-go moment later.
TEST_F(AutoTune, HoldsTheCorrectionForSixteenDetectionsThenLetsGo) {
    SetTuneMode(2);
    const size_t end = 96 * 512;
    std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), end);
    in.resize(2 * end, 0.0f);
    std::vector<std::pair<double, float>> seen;  // note and correction from the last voiced detection on
    Tune(in, 512, [&](size_t done) {
        if (done >= end + 512) seen.emplace_back(Note(), engine.autoTune.targetRatio);
    });
    for (size_t k = 0; k <= 16; ++k) {
        EXPECT_EQ(seen[k].first, seen[0].first) << k;
        EXPECT_NEAR(seen[k].second, std::exp2(0.176 / 12.0), 3e-4) << k;
    }
    EXPECT_NEAR(seen[0].first, kFlat, 0.1);
    EXPECT_EQ(seen[17].first, -1.0);
    EXPECT_EQ(seen[17 + 7].second, 1.0f);
    EXPECT_NEAR(engine.autoTune.shifter.delay, kShifterNominalDelay, 0.5f);
}

// Detection runs with the correction off too. A leap of an octave either way is far more often the
// detector locking on a harmonic than the singer.
TEST_F(AutoTune, SwitchedOffPassesTheVoiceUntouchedAndAnOctaveLeapIsTakenForTheNoteBeforeIt) {
    ToggleTune();
    const std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), 24000);
    EXPECT_EQ(Tune(in), in);
    EXPECT_NEAR(Note(), kFlat, 0.1);
    for (const double leap : {12.0, -12.0}) {
        InitEngine();
        std::vector<float> sung = Sing(SteadyVoice(HzOfNote(60.0)), 24000);
        const std::vector<float> leapt = Sing(SteadyVoice(HzOfNote(60.0 + leap)), 24000);
        sung.insert(sung.end(), leapt.begin(), leapt.end());
        Tune(sung);
        EXPECT_NEAR(Note(), 60.0, 0.1) << leap;
    }
}

class Harmony3D : public EngineTest {};

constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11}, kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
constexpr int kTune[] = {0, 2, 4, 2, 0, 1, 2, 3, 4, 5, 4, 3, 2, 1, 6, 0, 4, 0};  // dwells on the tonic triad

struct Key {
    int tonic;
    bool minor;
    bool Adopted() const { return GetKeyRoot() == tonic % 12 && GetKeyMinor() == minor; }
};
bool StartKey() { return GetKeyRoot() == 0 && !GetKeyMinor() && GetKeyConfidence() == 0.0f; }

HarmonyVoices Step(float s, float note) {
    engine.detectedNote = note;
    return ProcessHarmony(s);
}

// Sings the tune in `key` a little off pitch, 0.3 s a note and a 0.1 s breath;
// calls onUpdate(n) after every 2400 voiced samples until it says stop.
void SingTune(Key key, const std::function<bool(long)>& onUpdate) {
    ScopedDenormalFlush flush;
    const int* scale = key.minor ? kMinor : kMajor;
    size_t voiced = 0;
    for (size_t n = 0;; ++n) {
        const int note = key.tonic + scale[kTune[n % std::size(kTune)]];
        const std::vector<float> sung = Sing(SteadyVoice(HzOfNote(note)), 14400);
        for (const float s : sung) {
            Step(s, static_cast<float>(note) + (n % 2 ? 0.3f : -0.3f));
            if (++voiced % 2400 == 0 && !onUpdate(static_cast<long>(voiced / 2400))) return;
        }
        for (unsigned i = 0; i < 4800; ++i) Step(0.0f, -1.0f);
    }
}

std::pair<std::vector<float>, std::vector<float>> Harmonise(const std::vector<float>& in, float note) {
    ScopedDenormalFlush flush;
    std::vector<float> low, high;
    for (const float s : in) {
        const HarmonyVoices h = Step(s, note);
        low.push_back(h.low), high.push_back(h.high);
    }
    return {low, high};
}

void ExpectThirds(double note, int low, int high) {
    const double hz = HzOfNote(note);
    const auto [l, h] = Harmonise(Sing(SteadyVoice(hz), 20000), static_cast<float>(note));
    for (const auto& [y, steps] : {std::pair{&l, low}, {&h, high}}) {
        const double expected = hz * std::exp2(steps / 12.0);
        EXPECT_LT(std::fabs(CentsBetween(MeasurePitchHz(*y, 10000, 20000, expected), expected)), 15.0)
            << "note " << note << ", " << steps << " semitones";
    }
}

TEST_F(Harmony3D, EachVoiceIsTheDiatonicThirdBelowAndAboveTheSungNote) {
    // In C major; out of it, C# and D# are harmonised as the degree below them.
    for (const auto& [note, low, high] :
         {std::tuple{64, -4, 3}, {61, -3, 4}, {62, -3, 3}, {65, -3, 4}, {59, -4, 3}, {63, -3, 3}, {72, -3, 4}}) {
        InitEngine();
        ExpectThirds(note, low, high);
    }
    InitEngine();  // in a learned A minor the tonic gets F below and C above
    SingTune({57, true}, [](long n) { return n < 150; });
    ASSERT_TRUE((Key{57, true}.Adopted()));
    ExpectThirds(57, -4, 3);
}

// Up to the 19th update a new winner is the key at once; from the 20th it must win four updates in a row.
// The pending root in the other mode is a new candidate: its count starts afresh.
TEST_F(Harmony3D, ANewKeyIsAdoptedAtOnceOnlyWhileTheHistogramIsYoung) {
    // updates so far, C major's pending repeats, the triad held, the key after
    const std::tuple<int, int, std::array<int, 3>, int> cases[] = {
        {18, 1, {9, 1, 4}, 9}, {19, 1, {9, 1, 4}, 0}, {19, 3, {0, 3, 7}, 0}};
    for (const auto& [updates, repeats, triad, root] : cases) {
        InitEngine();
        KeyDetector k{{}, 0, updates, 0, false, repeats};
        for (const int pitchClass : triad) k.histogram[pitchClass] = 3.0f;
        for (int i = 0; i < 2400; ++i) CountHeldNote(k, static_cast<float>(60 + triad[0]));
        EXPECT_TRUE(GetKeyRoot() == root && !GetKeyMinor()) << updates << ", " << repeats;
    }
}

TEST_F(Harmony3D, LearnsEachTuneAfterTenUpdatesRelearnsAfterAResetAndFollowsANewKey) {
    for (const Key key : {Key{60, false}, {66, false}, {64, true}}) {
        ResetKeyDetector();  // the last tune's key is forgotten at once
        long outOfScale = 0;
        SingTune(key, [&](long n) {
            EXPECT_TRUE(n < 10 ? StartKey() : n > 10 || (key.Adopted() && GetKeyConfidence() > 0.0f)) << n;
            const bool relative = GetKeyRoot() == (key.tonic + (key.minor ? 3 : 9)) % 12 && GetKeyMinor() != key.minor;
            outOfScale += n >= 30 && !key.Adopted() && !relative;  // the relative key shares the scale
            return n < 400;
        });
        EXPECT_TRUE(key.Adopted()) << key.tonic;
        EXPECT_EQ(outOfScale, 0) << key.tonic;
    }
    long adopted = -1;  // after 20 s of E minor, E flat major is followed
    SingTune({63, false}, [&](long n) { return Key{63, false}.Adopted() ? (adopted = n, false) : n < 400; });
    EXPECT_GT(adopted, 4);
}

TEST_F(Harmony3D, AClickReturnsOnceFromEachVoiceAtItsDelayAndLevel) {
    engine.harmonyVolume = 45.0f;
    std::vector<float> click(4096, 0.0f);
    click[0] = 1.0f;
    const auto [low, high] = Harmonise(click, -1.0f);
    // At unison a grain reads half its 1152-sample window behind the input; the output smoothing spreads the
    // click but passes its sum whole.
    for (const auto& [y, lag, gain] :
         {std::tuple{&low, kHarmonyDelayLow + 576, 0.82}, {&high, kHarmonyDelayHigh + 576, 0.62}}) {
        const auto onset = std::find_if(y->begin(), y->end(), [](float s) { return s != 0.0f; }) - y->begin();
        EXPECT_EQ(static_cast<size_t>(onset), lag);
        EXPECT_NEAR(std::accumulate(y->begin(), y->end(), 0.0), 0.45 * gain, 1e-4);
        EXPECT_TRUE(
            std::all_of(y->begin() + static_cast<long>(lag) + 400, y->end(), [](float s) { return s == 0.0f; }));
    }
}

TEST_F(Harmony3D, ASungNoteThroughTheStudioPathGetsItsThirdsLeftAndRight) {
    // Auto-tune stays on: its detector publishes the note; the key is still C major.
    const std::vector<float> mic = Sing(SteadyVoice(HzOfNote(64)), 22016);
    std::vector<float> out[2];
    for (const bool on : {false, true}) {
        InitEngine();
        SetMasterGlue(0.0f);  // a stateless master: the difference is the harmony alone
        engine.fxEnabled = false;
        engine.harmonyEnabled = on;
        out[on] = Play(mic);
    }
    for (int side = 0; side < 2; ++side) {  // the low third on the left, the high one on the right
        std::vector<float> voice;
        for (size_t i = 0; i < mic.size(); ++i) voice.push_back(out[1][2 * i + side] - out[0][2 * i + side]);
        const double hz = HzOfNote(side ? 67 : 60);
        EXPECT_LT(std::fabs(CentsBetween(MeasurePitchHz(voice, 10000, mic.size(), hz), hz)), 15.0) << side;
    }
}
}  // namespace
