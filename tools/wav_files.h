#pragma once
// WAV reading and writing for the command-line tools, through libsndfile.
// Writes go to a temporary file beside the target and are renamed over it,
// so an interrupted run never leaves a half-written file.

#include <cstdint>
#include <string>
#include <vector>

struct WavData {
    std::vector<float> samples;  // interleaved
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
};

bool ReadWav(const std::string& path, WavData& wav, std::string& error);
bool WriteFloatWav(const std::string& path, const std::vector<float>& interleaved, uint32_t channels,
                   std::string& error);
