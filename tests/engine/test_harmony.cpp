// The harmony measured from what it plays: each voice's pitch against the
// sung note, the key it learns from tunes, where and how loud the voices
// land, and how it copes with wild input.

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <tuple>
#include <vector>

#include "engine/harmony.h"
#include "engine/master_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"
#include "tools/synth/singing.h"

namespace {
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
    size_t voiced = 0;
    for (size_t n = 0;; ++n) {
        const int note = key.tonic + (key.minor ? kMinor : kMajor)[kTune[n % std::size(kTune)]];
        for (const float s : Sing(SteadyVoice(HzOfNote(note)), 14400)) {
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
    for (const auto& [note, low, high] : {std::tuple{64, -4, 3}, {61, -3, 4}, {62, -3, 3}, {65, -3, 4}, {59, -4, 3},
                                          {63, -3, 3}, {72, -3, 4}}) {
        InitEngine();
        ExpectThirds(note, low, high);
    }
    InitEngine();  // in a learned A minor the tonic gets F below and C above
    SingTune({57, true}, [](long n) { return n < 150; });
    ASSERT_TRUE((Key{57, true}.Adopted()));
    ExpectThirds(57, -4, 3);
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
    for (const float volume : {8.0f, 45.0f}) {
        InitEngine();
        engine.harmonyVolume = volume;
        std::vector<float> click(4096, 0.0f);
        click[0] = 1.0f;
        const auto [low, high] = Harmonise(click, -1.0f);
        // At unison a grain reads half its 1152-sample window behind the input.
        for (const auto& [y, lag, gain] : {std::tuple{&low, kHarmonyDelayLow + 576, 0.82},
                                           {&high, kHarmonyDelayHigh + 576, 0.62}}) {
            const auto onset = std::find_if(y->begin(), y->end(), [](float s) { return s != 0.0f; }) - y->begin();
            EXPECT_EQ(static_cast<size_t>(onset), lag);
            double sum = 0.0;  // the output smoothing spreads the click but passes its sum whole
            for (const float s : *y) sum += s;
            EXPECT_NEAR(sum, volume / 100.0 * gain, 1e-4 * volume / 100.0);
            EXPECT_TRUE(std::all_of(y->begin() + static_cast<long>(lag) + 400, y->end(), [](float s) { return s == 0.0f; }));
        }
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
    std::vector<float> left, right;
    for (size_t i = 0; i < mic.size(); ++i) {
        left.push_back(out[1][2 * i] - out[0][2 * i]), right.push_back(out[1][2 * i + 1] - out[0][2 * i + 1]);
    }
    const double c4 = HzOfNote(60), g4 = HzOfNote(67);
    EXPECT_LT(std::fabs(CentsBetween(MeasurePitchHz(left, 10000, mic.size(), c4), c4)), 15.0);
    EXPECT_LT(std::fabs(CentsBetween(MeasurePitchHz(right, 10000, mic.size(), g4), g4)), 15.0);
}

TEST_F(Harmony3D, StaysFiniteAndWithinItsLevelOnAnyInputAndWildNotes) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> note(40.0f, 90.0f), full(-1.0f, 1.0f);
    engine.harmonyVolume = 45.0f;
    ScopedDenormalFlush flush;
    float n = -1.0f, low = 0.0f, high = 0.0f, tail = 0.0f;
    for (size_t i = 0; i < 489600; ++i) {  // full-scale noise, a square, then silence
        if (i % 480 == 0) n = rng() % 6 == 0 ? -1.0f : note(rng);  // a new note every 10 ms, or none
        const HarmonyVoices h = Step(i >= 480000 ? 0.0f : i < 240000 ? full(rng) : i / 109 % 2 ? 1.0f : -1.0f, n);
        ASSERT_TRUE(std::isfinite(h.low) && std::isfinite(h.high)) << i;
        low = std::fmax(low, std::fabs(h.low)), high = std::fmax(high, std::fabs(h.high));
        if (i >= 486000) tail = std::fmax(tail, std::fmax(std::fabs(h.low), std::fabs(h.high)));
    }
    EXPECT_LE(low, 1.0001f * 0.45f * 0.82f);  // the taps' weights add up to one
    EXPECT_LE(high, 1.0001f * 0.45f * 0.62f);
    EXPECT_LT(tail, 1e-30f);
}
}  // namespace
