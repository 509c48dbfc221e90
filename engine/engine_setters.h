#pragma once
// Setters of the user parameters. Amounts take the config percent divided
// by 100; every argument is clamped silently. Called from the UI thread.

#include <cstdint>

void SetVocalBalance(float amount);
void SetVocalBody(float amount);
void SetVocalSmooth(float amount);
void SetVocalWarmth(float amount);
void SetVocalBodyPlus(float amount);
void SetVocalOpto(float amount);
void SetVocalAir(float sampleRate, float db);
void SetReverbLevel(float amount);
void SetEchoLevel(float amount);

int32_t SetTuneMode(int32_t mode);  // returns the previous mode
int32_t GetTuneMode();
bool ToggleTune();  // returns the previous state
bool IsTuneEnabled();

int32_t GetKeyRoot();
bool GetKeyMinor();
float GetKeyConfidence();

bool IsRecorderActive();
uint64_t GetRecordFramesPushed();
uint64_t GetRecordFramesDropped();
