#pragma once
// The vocal tone chain: pre-leveler, "CÂN BẰNG", body EQ, opto, Body+,
// de-esser, warmth and air, in that order, one sample at a time. States
// live in the engine block; the amounts are read from it per sample.

// Start-up: every stage's coefficients for 48 kHz and cleared states.
void InitToneChain();
// Clears every state, keeps the coefficients (recovery after a bad sample).
void ClearToneChain();
float ProcessToneChain(float s);
