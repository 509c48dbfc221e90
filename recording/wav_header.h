#pragma once
// The 44-byte header of a 48 kHz, 16-bit, stereo PCM WAV file.

#include <array>
#include <cstdint>

inline constexpr uint32_t kWavHeaderBytes = 44;
inline constexpr uint32_t kWavFrameBytes = 4;
// The largest data size a header announces: whole frames, and a RIFF size
// (data + 36) that still fits in 32 bits.
inline constexpr uint64_t kWavMaxAnnouncedData = 0xFFFFFFD8;

std::array<uint8_t, kWavHeaderBytes> BuildWavHeader(uint64_t dataBytes);
