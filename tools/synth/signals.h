#pragma once
// Test signals and measurements at the engine rate. Stages are driven one
// sample at a time through the real processing functions, with denormals
// flushed as the audio callback does.

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

#include "engine/denormals.h"

constexpr double kTestRate = 48000.0;

inline std::vector<float> Sine(unsigned frames, double hz, float level, unsigned start = 0) {
    std::vector<float> v(frames);
    for (unsigned i = 0; i < frames; ++i) {
        v[i] = level * static_cast<float>(std::sin(2.0 * M_PI * hz * (start + i) / kTestRate));
    }
    return v;
}

using MonoStage = std::function<float(float)>;

inline std::vector<float> RunStage(const MonoStage& stage, const std::vector<float>& in) {
    ScopedDenormalFlush flush;
    std::vector<float> out(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = stage(in[i]);
    return out;
}

// Complex amplitude of the component at hz over samples [from, to): the
// single-bin DFT, exact for a whole number of periods.
inline std::complex<double> ToneAt(const std::vector<float>& x, double hz, size_t from, size_t to) {
    std::complex<double> acc = 0.0;
    for (size_t i = from; i < to; ++i) acc += static_cast<double>(x[i]) * std::polar(1.0, -2.0 * M_PI * hz * i / kTestRate);
    return acc * (2.0 / static_cast<double>(to - from));
}

// Steady-state gain of a stage at hz in dB: a sine of `level`,
// settled for `settle` samples, then measured over whole periods.
inline double MeasureGainDb(const MonoStage& stage, double hz, float level = 0.25f, unsigned settle = 48000) {
    const auto periods = static_cast<unsigned>(std::ceil(hz * 0.2));  // about 0.2 s of whole periods
    const auto span = static_cast<unsigned>(std::lround(periods * kTestRate / hz));
    const std::vector<float> out = RunStage(stage, Sine(settle + span, hz, level));
    return 20.0 * std::log10(std::abs(ToneAt(out, hz, settle, settle + span)) / level);
}

inline double RmsOf(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio); }

// The frequency of a steady tone from its rising zero crossings, located
// between samples by linear interpolation.
inline double EstimateFrequency(const std::vector<float>& x, size_t from, size_t to, double rate = kTestRate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : rate * (crossings - 1) / (last - first);
}
