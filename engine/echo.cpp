#include "engine/echo.h"

#include <algorithm>
#include <iterator>

#include "engine/delay_line.h"

namespace {
constexpr float kDampStep = 0.35f;
constexpr float kCrossFeedback = 0.16f;
}  // namespace

void InitEcho(Echo& e, float sampleRate) {
    e.lengthL = DelayLength(0.165 * sampleRate, kEchoMaxLeft);
    e.lengthR = DelayLength(0.205 * sampleRate, kEchoMaxRight);
    ClearEcho(e);
}

void ClearEcho(Echo& e) {
    std::fill(std::begin(e.lineL), std::end(e.lineL), 0.0f);
    std::fill(std::begin(e.lineR), std::end(e.lineR), 0.0f);
    e.indexL = e.indexR = 0;
    e.dampL = e.dampR = 0.0f;
}

StereoSample ProcessEcho(Echo& e, float level, float s) {
    e.dampL += (e.lineL[e.indexL] - e.dampL) * kDampStep;
    e.dampR += (e.lineR[e.indexR] - e.dampR) * kDampStep;
    PushDelay(e.lineL, e.indexL, e.lengthL, e.dampR * kCrossFeedback + s);
    PushDelay(e.lineR, e.indexR, e.lengthR, e.dampL * kCrossFeedback + s);
    return {level * e.dampL, level * e.dampR};
}
