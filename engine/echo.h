#pragma once
// "CHỈNH ECHO": a ping-pong echo whose repeats alternate 165 ms and 205 ms,
// each line fed by the other's softened output. Lines are sized at compile
// time for the engine rate.

#include <cstdint>

#include "engine/stereo.h"

constexpr uint32_t kEchoMaxLeft = 7920;   // 165 ms at 48 kHz
constexpr uint32_t kEchoMaxRight = 9840;  // 205 ms at 48 kHz

struct Echo {
    float lineL[kEchoMaxLeft];
    float lineR[kEchoMaxRight];
    uint32_t lengthL, lengthR;
    uint32_t indexL, indexR;
    float dampL, dampR;
};

// Sets the line lengths for the rate (capped at the compiled sizes) and clears.
void InitEcho(Echo& e, float sampleRate);
void ClearEcho(Echo& e);
StereoSample ProcessEcho(Echo& e, float level, float s);
