#pragma once
// "CÂN BẰNG": one amount sets threshold, ratio and makeup together, from a
// gentle 2:1 at -6 dB to a firm 5.5:1 at -30 dB with 7.5 dB of makeup.

struct BalanceCompressor {
    float envelope = 0.0f;
    float attack = 0.0f;  // set by InitBalanceCompressor
    float release = 0.0f;
};

struct BalanceSettings {
    float amount;
    float thresholdDb;
    float ratio;
    float makeup;  // linear
};

void InitBalanceCompressor(BalanceCompressor& c);
void ClearBalanceCompressor(BalanceCompressor& c);
float ProcessBalanceCompressor(BalanceCompressor& c, const BalanceSettings& settings, float s);
