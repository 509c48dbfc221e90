#pragma once
// WAV files streamed block by block through libsndfile, for the command-line
// tools: a take of any length is read and written in bounded memory.
//
// A written file goes to a temporary file of its own beside the target and
// is renamed over it at the end, so an interrupted run never leaves a
// half-written file under the target's name and several runs onto one
// target never share a temporary file. Only a regular file is ever
// replaced: a symbolic link is written through (its target is replaced and
// the link kept, as the program's kept files are), a device node, folder or
// pipe is refused.

#include <sndfile.h>

#include <cstdint>
#include <string>

struct WavReader {
    SNDFILE* file = nullptr;
    int descriptor = -1;
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint64_t frames = 0;         // what the file holds
    uint64_t claimedFrames = 0;  // what its header announces; more than frames when the file was cut
    uint64_t position = 0;
    bool readFailed = false;  // a read returned less than the file holds: the rest plays as silence
};

bool OpenWavReader(const std::string& path, WavReader& wav, std::string& error);
// Reads the next `frames` frames, interleaved; silence past the end.
void ReadWavFrames(WavReader& wav, float* interleaved, uint64_t frames);
void CloseWavReader(WavReader& wav);

struct WavWriter {
    SNDFILE* file = nullptr;
    int descriptor = -1;
    std::string target;     // the regular file that is replaced (a link's target)
    std::string temporary;  // unique to this run
    uint64_t frames = 0;
};

// A 32-bit float file: plain WAV, or RF64 once it passes what a WAV header
// can announce (4 GiB).
bool OpenFloatWavWriter(const std::string& path, uint32_t channels, WavWriter& wav, std::string& error);
bool WriteWavFrames(WavWriter& wav, const float* interleaved, uint64_t frames, std::string& error);
// Finishes the header, pushes the file to the disk and renames it over the target.
bool CommitWavWriter(WavWriter& wav, std::string& error);
// Finishes the header and leaves the file under its temporary name, the target untouched.
bool KeepPartialWav(WavWriter& wav, std::string& error);
// Closes and removes the temporary file.
void AbandonWavWriter(WavWriter& wav);
