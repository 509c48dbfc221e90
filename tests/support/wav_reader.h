#pragma once
// WAV files read and written with libsndfile, independent of the code under test.

#include <sndfile.h>

#include <string>
#include <vector>

struct ReadBack {
    bool opened = false;
    SF_INFO info{};
    std::vector<short> samples;  // interleaved
};

inline ReadBack ReadPcm16(const std::string& path) {
    ReadBack r;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.info);
    if (f == nullptr) return r;
    r.opened = true;
    r.samples.resize(static_cast<size_t>(r.info.frames * r.info.channels));
    r.samples.resize(
        static_cast<size_t>(sf_read_short(f, r.samples.data(), static_cast<sf_count_t>(r.samples.size()))));
    sf_close(f);
    return r;
}

inline bool WritePcm16(const std::string& path, int rate, int channels, const std::vector<float>& samples) {
    SF_INFO info{0, rate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    sf_write_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    return sf_close(f) == 0;
}
