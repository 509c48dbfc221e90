#include "recording/wav_header.h"

#include <algorithm>
#include <cstring>

namespace {
void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
}  // namespace

std::array<uint8_t, kWavHeaderBytes> BuildWavHeader(uint64_t dataBytes) {
    const auto announced = static_cast<uint32_t>(std::min(dataBytes, kWavMaxAnnouncedData) / kWavFrameBytes * kWavFrameBytes);
    std::array<uint8_t, kWavHeaderBytes> h{};
    std::memcpy(&h[0], "RIFF", 4);
    Put32(&h[4], announced + 36);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    Put32(&h[16], 16);
    Put16(&h[20], 1);  // PCM
    Put16(&h[22], 2);
    Put32(&h[24], 48000);
    Put32(&h[28], 48000 * kWavFrameBytes);
    Put16(&h[32], kWavFrameBytes);
    Put16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], announced);
    return h;
}
