#pragma once
// Synthetic singing at the engine rate and an independent pitch measure.
// A voice is a sum of harmonics shaped by a vowel-like envelope (three
// formant bumps), with vibrato, an attack, breath noise, and optionally a
// weak fundamental (the octave-ambiguous case). The pitch measure is a
// normalised autocorrelation at full rate, searched near a guess, so it
// shares nothing with the detector under test.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "tools/synth/signals.h"

struct Voice {
    std::function<double(double)> hz;  // pitch contour over time in seconds
    double level = 0.3;                // peak of the waveform, about
    int harmonics = 12;
    double vibratoHz = 0.0;
    double vibratoCents = 0.0;
    double attackSeconds = 0.02;
    double breath = 0.0;                           // noise level relative to level
    double fundamentalGain = 1.0;                  // below 1: a weak fundamental
    double formants[3] = {700.0, 1200.0, 2600.0};  // an open "a"
};

inline double HzOfNote(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }
inline double NoteOfHz(double hz) { return 69.0 + 12.0 * std::log2(hz / 440.0); }

inline Voice SteadyVoice(double hz) {
    Voice v;
    v.hz = [hz](double) { return hz; };
    return v;
}

// The voice sung on 'a', 'e', 'i', 'o' or 'u': the closed "i" and "u" put
// their first formant among a low voice's first few harmonics.
inline Voice WithVowel(Voice v, char vowel) {
    const std::pair<char, std::array<double, 3>> presets[] = {{'a', {700.0, 1200.0, 2600.0}},
                                                              {'e', {400.0, 2000.0, 2550.0}},
                                                              {'i', {280.0, 2250.0, 2900.0}},
                                                              {'o', {450.0, 800.0, 2830.0}},
                                                              {'u', {310.0, 870.0, 2250.0}}};
    for (const auto& [name, formants] : presets) {
        if (name == vowel) std::copy(formants.begin(), formants.end(), v.formants);
    }
    return v;
}

// Vowel envelope: a gentle tilt plus three formant bumps.
inline double VowelGain(const Voice& v, double f) {
    double g = 0.15;
    for (const double formant : v.formants) g += std::exp(-std::pow((f - formant) / (0.18 * formant), 2.0));
    return g / (1.0 + f / 1500.0);
}

inline std::vector<float> Sing(const Voice& v, unsigned frames) {
    std::vector<float> out(frames);
    double phase = 0.0;
    uint32_t seed = 0x5eed;
    double norm = 0.0;
    for (int h = 1; h <= v.harmonics; ++h) norm += VowelGain(v, 220.0 * h);
    for (unsigned i = 0; i < frames; ++i) {
        const double t = i / kTestRate;
        const double vibrato = v.vibratoCents / 1200.0 * std::sin(2.0 * M_PI * v.vibratoHz * t);
        const double f0 = v.hz(t) * std::pow(2.0, vibrato);
        phase += 2.0 * M_PI * f0 / kTestRate;
        double y = 0.0;
        for (int h = 1; h <= v.harmonics && h * f0 < 0.45 * kTestRate; ++h) {
            y += (h == 1 ? v.fundamentalGain : 1.0) * VowelGain(v, h * f0) * std::sin(h * phase);
        }
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 8388608.0 - 1.0) * v.breath;
        const double envelope = v.attackSeconds > 0.0 ? std::fmin(1.0, t / v.attackSeconds) : 1.0;
        out[i] = static_cast<float>(v.level * envelope * (y / norm + noise));
    }
    return out;
}

// Pitch in Hz of x over [from, to), searched within a fifth of `guessHz`
// either way: the lag of the highest normalised autocorrelation, refined by
// a parabola. NaN when the segment is silent.
inline double MeasurePitchHz(const std::vector<float>& x, size_t from, size_t to, double guessHz) {
    const auto lagOf = [](double hz) { return kTestRate / hz; };
    const auto minLag = static_cast<size_t>(std::floor(lagOf(guessHz * 1.5)));
    const auto maxLag = static_cast<size_t>(std::ceil(lagOf(guessHz / 1.5))) + 1;
    if (to < from + 2 * maxLag) return NAN;
    const size_t span = to - from - maxLag - 1;  // the parabola looks one lag past maxLag
    auto nccf = [&](size_t lag) {
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (size_t n = from; n < from + span; ++n) {
            xy += static_cast<double>(x[n]) * x[n + lag];
            xx += static_cast<double>(x[n]) * x[n];
            yy += static_cast<double>(x[n + lag]) * x[n + lag];
        }
        return xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : 0.0;
    };
    std::vector<double> r(maxLag + 2, -1.0);
    size_t best = minLag;
    for (size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        r[lag] = nccf(lag);
        if (lag <= maxLag && r[lag] > r[best]) best = lag;
    }
    if (r[best] <= 0.0) return NAN;
    // The first peak near the best one avoids a multiple of the period.
    for (size_t lag = minLag + 1; lag < best; ++lag) {
        if (r[lag] > 0.9 * r[best] && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            best = lag;
            break;
        }
    }
    if (best <= minLag || best > maxLag) return kTestRate / static_cast<double>(best);
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double denominator = a - 2.0 * b + c;
    const double shift = std::fabs(denominator) > 1e-12 ? 0.5 * (a - c) / denominator : 0.0;
    return kTestRate / (static_cast<double>(best) + shift);
}

inline double CentsBetween(double hz, double referenceHz) { return 1200.0 * std::log2(hz / referenceHz); }
