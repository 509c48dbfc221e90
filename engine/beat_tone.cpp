#include "engine/beat_tone.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

namespace {
struct BeatToneState {
    std::unique_ptr<soundtouch::SoundTouch> shifter;
    std::atomic<float> toneSemitones{0.0f};
};
BeatToneState beatTone;
}  // namespace

void ApplyBeatHqProfile() {
    if (!beatTone.shifter) return;
    beatTone.shifter->setSetting(SETTING_USE_QUICKSEEK, 0);
    beatTone.shifter->setSetting(SETTING_SEQUENCE_MS, 55);
    beatTone.shifter->setSetting(SETTING_SEEKWINDOW_MS, 20);
    beatTone.shifter->setSetting(SETTING_OVERLAP_MS, 15);
}

void InitBeatPitchShifter() {
    if (beatTone.shifter) return;
    beatTone.shifter = std::make_unique<soundtouch::SoundTouch>();
    beatTone.shifter->setSampleRate(48000);
    beatTone.shifter->setChannels(2);
    beatTone.shifter->setPitchSemiTones(0.0);
    beatTone.toneSemitones = 0.0f;
    beatTone.shifter->setSetting(SETTING_USE_AA_FILTER, 1);
    ApplyBeatHqProfile();
}

void ShutdownBeatPitchShifter() { beatTone.shifter.reset(); }

void ClearBeatPitchShifter() {
    if (beatTone.shifter) beatTone.shifter->clear();
}

float ClampBeatTone(float semitones) { return std::isfinite(semitones) ? std::clamp(semitones, -3.0f, 3.0f) : 0.0f; }

float SetBeatTone(float semitones) {
    const float tone = ClampBeatTone(semitones);
    beatTone.toneSemitones = tone;
    if (beatTone.shifter) beatTone.shifter->setPitchSemiTones(static_cast<double>(tone));
    return tone;
}

float BeatToneSemitones() { return beatTone.toneSemitones; }

void PutBeatFrames(const float* frames, uint32_t count) {
    if (beatTone.shifter) beatTone.shifter->putSamples(frames, count);
}

uint32_t ReceiveBeatFrames(float* frames, uint32_t maxFrames) {
    return beatTone.shifter ? beatTone.shifter->receiveSamples(frames, maxFrames) : 0;
}

int BeatShifterInitialLatencyFrames() {
    return beatTone.shifter ? beatTone.shifter->getSetting(SETTING_INITIAL_LATENCY) : 0;
}

int BeatShifterBurstFrames() {
    return beatTone.shifter ? beatTone.shifter->getSetting(SETTING_NOMINAL_OUTPUT_SEQUENCE) : 0;
}
