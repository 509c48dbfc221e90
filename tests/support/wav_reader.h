#pragma once
// 16-bit WAV files read and written with libsndfile, independent of the code under test.

#include <sndfile.h>

#include <string>
#include <vector>

// The interleaved samples of a 16-bit PCM WAV file; none when it is not one.
inline std::vector<short> ReadPcm16(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    const bool pcm16 = f != nullptr && info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<short> samples(pcm16 ? static_cast<size_t>(info.frames * info.channels) : 0);
    samples.resize(static_cast<size_t>(sf_read_short(f, samples.data(), static_cast<sf_count_t>(samples.size()))));
    sf_close(f);
    return samples;
}

inline bool WritePcm16(const std::string& path, int rate, int channels, const std::vector<float>& samples) {
    SF_INFO info{0, rate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    sf_write_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    return sf_close(f) == 0;
}
