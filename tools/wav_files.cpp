#include "tools/wav_files.h"

#include <sndfile.h>

#include <cstdio>
#include <filesystem>

namespace {
constexpr int kRate = 48000;

template <typename Sample>
bool WriteWav(const std::string& path, const std::vector<Sample>& data, uint32_t channels, int subformat,
              sf_count_t (*write)(SNDFILE*, const Sample*, sf_count_t), std::string& error) {
    const std::string temporary = path + ".partial";
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = static_cast<int>(channels);
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* file = sf_open(temporary.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = "cannot create " + temporary + ": " + sf_strerror(nullptr);
        return false;
    }
    const auto count = static_cast<sf_count_t>(data.size());
    const bool written = write(file, data.data(), count) == count;
    const std::string writeError = sf_strerror(file);
    const bool closed = sf_close(file) == 0;
    std::error_code ec;
    if (written && closed) std::filesystem::rename(temporary, path, ec);
    if (!written || !closed || ec) {
        error = "cannot write " + path + ": " + (ec ? ec.message() : writeError);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
}  // namespace

bool ReadWav(const std::string& path, WavData& wav, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    wav.channels = static_cast<uint32_t>(info.channels);
    wav.sampleRate = static_cast<uint32_t>(info.samplerate);
    wav.samples.assign(static_cast<size_t>(info.frames) * wav.channels, 0.0f);
    const sf_count_t got = sf_readf_float(file, wav.samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames) {
        error = "cannot read " + path + ": the file ends before its header says";
        return false;
    }
    return true;
}

bool WriteFloatWav(const std::string& path, const std::vector<float>& interleaved, uint32_t channels,
                   std::string& error) {
    return WriteWav<float>(path, interleaved, channels, SF_FORMAT_FLOAT, sf_write_float, error);
}
