// HARMONY 3D measured from what it plays: the pitch of each voice against the
// sung note, the key it learns from tunes, where and how loud the voices land
// in the Studio mix, and how it copes with the edges.

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/harmony.h"
#include "engine/master_bus.h"
#include "engine/vocal_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"
#include "tools/synth/singing.h"

namespace {
class HarmonyPitch : public EngineTest {};
class HarmonyKey : public EngineTest {};
class HarmonyMix : public EngineTest {};

constexpr long kUpdate = 2400;     // voiced samples per histogram update
constexpr unsigned kNote = 14400;  // 0.3 s sung, then a 0.1 s breath
constexpr unsigned kBreath = 4800;
constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11}, kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
// Scale degrees of a tune that dwells on the tonic triad and passes every degree.
constexpr int kTune[] = {0, 2, 4, 2, 0, 1, 2, 3, 4, 5, 4, 3, 2, 1, 6, 0, 4, 0};
// At unison a grain reads half its 1152-sample window behind the input.
constexpr size_t kLowLag = kHarmonyDelayLow + 576, kHighLag = kHarmonyDelayHigh + 576;

struct Key {
    int tonic;  // MIDI note
    bool minor;
    bool Adopted() const { return GetKeyRoot() == tonic % 12 && GetKeyMinor() == minor; }
};
bool StartKey() { return GetKeyRoot() == 0 && !GetKeyMinor() && GetKeyConfidence() == 0.0f; }

const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
std::string Name(Key k) { return kNames[k.tonic % 12] + std::string(k.minor ? "m" : ""); }

HarmonyVoices Step(float s, float note) {
    engine.detectedNote = note;
    return ProcessHarmony(s);
}

// Sings the tune in `key`, a little sharp or flat as a voice is, with a breath
// after each note; calls onUpdate(n) after the n-th update until it says stop.
void SingTune(Key key, const std::function<bool(long)>& onUpdate) {
    ScopedDenormalFlush flush;
    size_t voiced = 0;
    for (size_t n = 0;; ++n) {
        const int degree = kTune[n % std::size(kTune)];
        const int note = key.tonic + (key.minor ? kMinor : kMajor)[degree];
        for (const float s : Sing(SteadyVoice(HzOfNote(note)), kNote)) {
            Step(s, static_cast<float>(note) + (n % 2 ? 0.3f : -0.3f));
            if (++voiced % kUpdate == 0 && !onUpdate(static_cast<long>(voiced / kUpdate))) return;
        }
        for (unsigned i = 0; i < kBreath; ++i) Step(0.0f, -1.0f);
    }
}

struct Voices { std::vector<float> low, high; };

Voices Harmonise(const std::vector<float>& in, float note) {
    ScopedDenormalFlush flush;
    Voices v;
    for (const float s : in) {
        const HarmonyVoices h = Step(s, note);
        v.low.push_back(h.low), v.high.push_back(h.high);
    }
    return v;
}

// A steady sung note: each voice must sit `low` and `high` semitones from it
// once the ratios have settled; appends the errors in cents.
void ExpectThirds(double note, int low, int high, std::string& errors) {
    const double hz = HzOfNote(note);
    const Voices v = Harmonise(Sing(SteadyVoice(hz), 20000), static_cast<float>(note));
    for (const auto& [y, steps] : {std::pair{&v.low, low}, std::pair{&v.high, high}}) {
        const double expected = hz * std::exp2(steps / 12.0);
        const double cents = CentsBetween(MeasurePitchHz(*y, 10000, 20000, expected), expected);
        EXPECT_LT(std::fabs(cents), 15.0) << "note " << note << ", " << steps << " semitones";
        errors += std::to_string(cents) + " ";
    }
}

TEST_F(HarmonyPitch, EachVoiceIsTheDiatonicThirdBelowAndAboveTheSungNote) {
    // In the start key; out of it, C# and D# are harmonised as the degree below them.
    const std::tuple<double, int, int> cases[] = {{64, -4, 3}, {59, -4, 3}, {61, -3, 4}, {62, -3, 3}, {65, -3, 4},
                                                  {67, -3, 4}, {57, -4, 3}, {60, -3, 4}, {63, -3, 3}, {72, -3, 4}};
    std::string errors;
    for (const auto& [note, low, high] : cases) {
        InitEngine();
        ExpectThirds(note, low, high, errors);
        EXPECT_TRUE(StartKey());  // 20000 voiced samples teach no key yet
    }
    // In a learned A minor the tonic gets F below and C above.
    InitEngine();
    SingTune({57, true}, [](long n) { return n < 150; });
    ASSERT_TRUE((Key{57, true}.Adopted()));
    ExpectThirds(57, -4, 3, errors);
    EXPECT_TRUE((Key{57, true}.Adopted()));
    RecordProperty("voice_errors_cents", errors);
}

TEST_F(HarmonyKey, LearnsEachTuneAfterTenUpdatesAndRelearnsFromNothingAfterAReset) {
    const Key keys[] = {{60, false}, {55, false}, {58, false}, {66, false},
                        {57, true},  {64, true},  {62, true},  {65, true}};
    for (const Key key : keys) {
        SCOPED_TRACE(Name(key));
        // The last tune's key is forgotten at once; a histogram kept would
        // publish a key at the first update.
        ResetKeyDetector();
        EXPECT_TRUE(StartKey());
        long outOfScale = 0, relative = 0;
        SingTune(key, [&](long n) {
            // Breaths aside, ten updates are 24000 voiced samples; while young the leader is taken at once.
            EXPECT_TRUE(n < 10 ? StartKey() : n > 10 || (key.Adopted() && GetKeyConfidence() > 0.0f)) << n;
            // The relative key shares the scale, and so the voices; after the
            // opening phrase nothing else may be adopted.
            const int relativeRoot = (key.tonic + (key.minor ? 3 : 9)) % 12;
            const bool isRelative = GetKeyRoot() == relativeRoot && GetKeyMinor() != key.minor;
            outOfScale += n >= 30 && !key.Adopted() && !isRelative;
            relative += n >= 30 && isRelative;
            return n < 400;
        });
        EXPECT_TRUE(key.Adopted());
        EXPECT_EQ(outOfScale, 0);
        EXPECT_TRUE(key.minor || relative == 0);
        RecordProperty(Name(key) + "_confidence", std::to_string(GetKeyConfidence()));
        RecordProperty(Name(key) + "_updates_in_relative_key", std::to_string(relative));
    }
}

TEST_F(HarmonyKey, ANewKeyIsFollowedOnceTheOldNotesFadeFourUpdatesAfterItLeads) {
    const Key from{55, false}, to{63, false};
    std::vector<long> adoptions;
    for (const long learnt : {100L, 400L, 1200L}) {  // 5, 20 and 60 s of G major
        SCOPED_TRACE(learnt);
        InitEngine();
        SingTune(from, [&](long n) { return n < learnt; });
        ASSERT_TRUE(from.Adopted());
        std::vector<float> confidence;
        long left = -1, adopted = -1;
        int root = GetKeyRoot(), minor = GetKeyMinor();
        SingTune(to, [&](long n) {
            confidence.push_back(GetKeyConfidence());
            if (GetKeyRoot() != root || GetKeyMinor() != minor) {
                // The confidence dips where a new leader overtakes; a grown key
                // moves only once it has led four updates in a row.
                const auto recent = confidence.end() - std::min(n, 7L);
                const long dip = std::min_element(recent, confidence.end() - 1) - confidence.begin() + 1;
                EXPECT_TRUE(n - dip == 3 || n - dip == 4) << "change at update " << n << ", dip at " << dip;
                root = GetKeyRoot(), minor = GetKeyMinor(), left = left < 0 ? n : left;
            }
            if (to.Adopted()) adopted = n;
            return adopted < 0 && n < 400;
        });
        EXPECT_GT(adopted, 0);
        adoptions.push_back(adopted);
        RecordProperty("learnt_" + std::to_string(learnt) + "_left_at_adopted_at",
                       std::to_string(left) + " " + std::to_string(adopted));
    }
    // The fading caps the memory: three times as long in G major costs no more.
    EXPECT_LT(std::abs(adoptions[2] - adoptions[1]), adoptions[1] / 4);
}

TEST_F(HarmonyKey, SwitchedOffItFreezesAndOnReturnPlaysItsHeldDelaysFirst) {
    auto bytes = [] {
        const auto* p = reinterpret_cast<const unsigned char*>(&engine.harmony);
        return std::vector<unsigned char>(p, p + sizeof(Harmony));
    };
    auto run = [&](bool pause) {
        InitEngine();
        SingTune({55, false}, [](long n) { return n < 60; });
        const std::vector<unsigned char> held = bytes();
        const float confidence = GetKeyConfidence();
        const std::vector<float> sung = Sing(SteadyVoice(HzOfNote(63)), pause ? 96000 : 0);
        ScopedDenormalFlush flush;
        engine.harmonyEnabled = false;  // as at start-up
        size_t voiced = 0;
        for (size_t i = 0; i < sung.size(); ++i) {  // another key sung meanwhile, through the vocal path
            engine.detectedNote = 61.0f + static_cast<float>(i / 9600 % 5);
            const VocalVoices v = ProcessVocalVoices(sung[i]);
            voiced += v.harmonyLow != 0.0f || v.harmonyHigh != 0.0f;
        }
        EXPECT_TRUE(voiced == 0 && bytes() == held);
        EXPECT_TRUE((Key{55, false}.Adopted()) && GetKeyConfidence() == confidence);
        return Harmonise(std::vector<float>(kHarmonyDelayHigh, 0.0f), -1.0f);
    };
    // Until new input reaches them, both voices play what they held when stopped.
    const Voices straight = run(false), resumed = run(true);
    EXPECT_TRUE(std::equal(straight.low.begin(), straight.low.begin() + kHarmonyDelayLow, resumed.low.begin()));
    EXPECT_TRUE(straight.high == resumed.high);
    EXPECT_GT(RmsOf(resumed.low, 0, kHarmonyDelayLow) * RmsOf(resumed.high, 0, kHarmonyDelayHigh), 1e-6);
}

// What switching the harmony on adds to each side of the Studio output, and
// the dry voice: with a stateless master nothing else in the mix depends on it.
struct Added {
    std::vector<float> dry, left, right;
    size_t voicedBlocks = 0;  // blocks after which the detector held a note
};

Added Switched(const std::vector<float>& mic, void (*setUp)()) {
    constexpr unsigned kBlock = 256;
    Added a;
    std::vector<float> out[2];
    for (const bool on : {false, true}) {
        InitEngine();
        SetMasterGlue(0.0f);
        setUp();
        engine.harmonyEnabled = on;
        engine.inputChannels = 1;
        for (size_t b = 0; b * kBlock < mic.size(); ++b) {
            const std::vector<float> y = RunBlock({mic.begin() + b * kBlock, mic.begin() + (b + 1) * kBlock}, kBlock);
            out[on].insert(out[on].end(), y.begin(), y.end());
            a.voicedBlocks += engine.detectedNote >= 0.0f;
        }
    }
    for (size_t i = 0; i < mic.size(); ++i) {
        EXPECT_LT(std::fabs(out[1][2 * i]), 0.85f);  // clear of the ceiling
        a.dry.push_back(out[0][2 * i] / 1.1f);
        a.left.push_back(out[1][2 * i] - out[0][2 * i]), a.right.push_back(out[1][2 * i + 1] - out[0][2 * i + 1]);
    }
    return a;
}

// Normalised cross-correlation of y against x delayed by 0..2599 samples.
std::vector<double> Correlations(const std::vector<float>& x, const std::vector<float>& y) {
    std::vector<double> r(2600);
    for (size_t lag = 0; lag < r.size(); ++lag) {
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (size_t n = 4800; n + lag < x.size(); ++n) {
            xy += x[n] * y[n + lag], xx += x[n] * x[n], yy += y[n + lag] * y[n + lag];
        }
        r[lag] = xy / std::sqrt(xx * yy);
    }
    return r;
}

TEST_F(HarmonyMix, UnisonVoicesSitLeftAndRightBehindTheDryVoiceAtTheirLevels) {
    // Noise holds no note, so both voices stay at ratio 1. Without auto-tune,
    // reverb and echo the dry path is the high-pass and the pre-leveler.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-0.1f, 0.1f);
    std::vector<float> mic(38400);
    for (float& x : mic) x = u(rng);
    const Added a = Switched(mic, [] {
        NeutralVocalChain();
        engine.fxEnabled = false;
    });
    EXPECT_EQ(a.voicedBlocks, 0u);
    const std::vector<double> left = Correlations(a.dry, a.left), right = Correlations(a.dry, a.right);
    const auto low = std::max_element(left.begin(), left.end()) - left.begin();
    const auto high = std::max_element(right.begin(), right.end()) - right.begin();
    EXPECT_EQ(static_cast<size_t>(low), kLowLag);
    EXPECT_EQ(static_cast<size_t>(high), kHighLag);
    // An unshifted copy through the 0.28 output smoothing, which keeps sqrt(1 - 0.72^2) of white noise.
    EXPECT_NEAR(left[low], std::sqrt(1.0 - 0.72 * 0.72), 0.02);
    EXPECT_NEAR(right[high], std::sqrt(1.0 - 0.72 * 0.72), 0.02);
    EXPECT_LT(std::fabs(left[kHighLag]) + std::fabs(right[kLowLag]), 0.05);  // each side carries its own voice only
    RecordProperty("lags_and_correlations", std::to_string(low) + " " + std::to_string(high) + " " +
                                                std::to_string(left[low]) + " " + std::to_string(right[high]));
    // A click returns once from each voice, at its level.
    for (const float volume : {8.0f, 24.0f, 45.0f}) {
        InitEngine();
        engine.harmonyVolume = volume;
        std::vector<float> click(4096, 0.0f);
        click[0] = 1.0f;
        const Voices v = Harmonise(click, -1.0f);
        for (const auto& [y, lag, gain] : {std::tuple{&v.low, kLowLag, 0.82}, std::tuple{&v.high, kHighLag, 0.62}}) {
            SCOPED_TRACE(testing::Message() << "volume " << volume << ", gain " << gain);
            const auto onset = std::find_if(y->begin(), y->end(), [](float s) { return s != 0.0f; }) - y->begin();
            EXPECT_EQ(static_cast<size_t>(onset), lag);
            // The output smoothing spreads the click but passes its sum whole.
            double sum = 0.0;
            for (const float s : *y) sum += s;
            EXPECT_NEAR(sum, volume / 100.0 * gain, 1e-4 * volume / 100.0);
            EXPECT_TRUE(std::all_of(y->begin() + lag + 400, y->end(), [](float s) { return s == 0.0f; }));
            RecordProperty("click_sum_" + std::to_string(lag) + "_" + std::to_string(int(volume)), std::to_string(sum));
        }
    }
}

TEST_F(HarmonyMix, ASungNoteThroughTheStudioPathGetsItsThirdsFromTheDetectedPitch) {
    // Auto-tune stays at its default, on: its detector publishes the note.
    // Under 24000 voiced samples, so the key is still C major.
    const std::vector<float> mic = Sing(SteadyVoice(HzOfNote(64)), 22016);
    const Added a = Switched(mic, [] { engine.fxEnabled = false; });
    EXPECT_GT(a.voicedBlocks, 140u);
    EXPECT_NEAR(engine.detectedNote, 64.0f, 0.1f);
    const double c4 = HzOfNote(60), g4 = HzOfNote(67);
    const double lowCents = CentsBetween(MeasurePitchHz(a.left, 10000, mic.size(), c4), c4);
    const double highCents = CentsBetween(MeasurePitchHz(a.right, 10000, mic.size(), g4), g4);
    EXPECT_LT(std::fabs(lowCents), 15.0);
    EXPECT_LT(std::fabs(highCents), 15.0);
    RecordProperty("voice_errors_cents", std::to_string(lowCents) + " " + std::to_string(highCents));
}

TEST_F(HarmonyMix, StaysFiniteAndWithinItsLevelOnAnyInputAndWildNotes) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> note(40.0f, 90.0f), full(-1.0f, 1.0f);
    for (const float volume : {8.0f, 45.0f}) {
        for (const int input : {0, 1, 2}) {  // full-scale noise, a full-scale square wave, silence
            SCOPED_TRACE(testing::Message() << "volume " << volume << ", input " << input);
            InitEngine();
            engine.harmonyVolume = volume;
            ScopedDenormalFlush flush;
            float n = -1.0f, low = 0.0f, high = 0.0f, tail = 0.0f;
            size_t nonFinite = 0;
            for (size_t i = 0; i < 489600; ++i) {  // 10 s, then silence
                if (i % 480 == 0) n = rng() % 6 == 0 ? -1.0f : note(rng);  // a new note every 10 ms, or none
                const float square = i / 109 % 2 ? 1.0f : -1.0f;
                const HarmonyVoices h = Step(i >= 480000 || input == 2 ? 0.0f : input == 0 ? full(rng) : square, n);
                nonFinite += !std::isfinite(h.low) || !std::isfinite(h.high);
                low = std::fmax(low, std::fabs(h.low)), high = std::fmax(high, std::fabs(h.high));
                if (i >= 486000) tail = std::fmax(tail, std::fmax(std::fabs(h.low), std::fabs(h.high)));
            }
            EXPECT_EQ(nonFinite, 0u);
            // The two taps' weights always add up to one: no voice exceeds its input.
            const float level = (input == 2 ? 0.0f : 1.0001f) * volume / 100.0f;
            EXPECT_LE(low, level * 0.82f);
            EXPECT_LE(high, level * 0.62f);
            EXPECT_LT(tail, 1e-30f);  // the output smoothing parks just above the flush
        }
    }
}
}  // namespace
