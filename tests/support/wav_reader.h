#pragma once
// Reads a 16-bit WAV file back with libsndfile, a reader independent of the
// code that wrote it.

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
    r.samples.resize(static_cast<size_t>(r.info.frames) * static_cast<size_t>(r.info.channels));
    r.samples.resize(static_cast<size_t>(sf_read_short(f, r.samples.data(), static_cast<sf_count_t>(r.samples.size()))));
    sf_close(f);
    return r;
}
