#pragma once
// "DÀY / BODY": chest at 180 Hz, less mud at 370 Hz, presence at 3 kHz and
// sheen at 12.5 kHz, all scaled by one amount; flat at amount 0.

#include "engine/biquad.h"

struct BodyEq {
    Biquad filters[4];
};

// Retunes the four filters for amount 0..1; the running states are kept.
void DesignBodyEq(BodyEq& eq, float amount);
void ClearBodyEq(BodyEq& eq);
float ProcessBodyEq(BodyEq& eq, float s);
