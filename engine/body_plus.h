#pragma once
// "BODY+ / PULTEC WARM": a fixed passive-style curve (low boost with the
// mid dip above it) and a gentle saturation of everything under 1 kHz.

#include "engine/biquad.h"

struct BodyPlus {
    Biquad filters[5];
    float lowSplit = 0.0f;
    float lowSplitCoefficient = 0.0f;  // set by InitBodyPlus
};

void InitBodyPlus(BodyPlus& b);
void ClearBodyPlus(BodyPlus& b);
float ProcessBodyPlus(BodyPlus& b, float amount, float s);
