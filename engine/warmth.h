#pragma once
// "LÀM ẤM": saturates the low-mids under 1050 Hz, adds a little even-order
// colour, and passes the highs around the saturator so sibilance stays clean.

struct Warmth {
    float lowPass = 0.0f;
    float k = 0.0f;  // set by InitWarmth
};

void InitWarmth(Warmth& w);
void ClearWarmth(Warmth& w);
float ProcessWarmth(Warmth& w, float amount, float s);
