#pragma once
// Tone Control: the beat's key moved by semitones without changing its
// tempo, by one process-wide SoundTouch instance (48 kHz, stereo, float)
// in its high-quality stretch profile. Used by one thread at a time: the beat
// pump's while it runs (the window hands it tone changes), else the caller's.

#include <cstdint>

// Creates and configures the shifter at tone 0; calling it again keeps the
// shifter and its queued audio.
void InitBeatPitchShifter();
// Destroys it (at exit).
void ShutdownBeatPitchShifter();
// Drops the audio it holds, keeping the tone: a new capture's beat must not
// follow leftovers of the old one, which would play stale and then silent.
void ClearBeatPitchShifter();

// Clamps to -3..+3, gives the shifter the new pitch (queued audio is kept,
// so the beat plays on) and returns the tone now in effect.
float SetBeatTone(float semitones);
// Any thread: the tone now in effect.
float BeatToneSemitones();
// The tone a request for `semitones` gives: -3..+3, 0 for what is not a number.
float ClampBeatTone(float semitones);

// Quick seek off, sequence 55 ms, seek window 20 ms, overlap 15 ms.
void ApplyBeatHqProfile();

// The beat pump's way through the shifter: interleaved stereo frames in,
// up to maxFrames out; both do nothing before InitBeatPitchShifter.
void PutBeatFrames(const float* frames, uint32_t count);
uint32_t ReceiveBeatFrames(float* frames, uint32_t maxFrames);
// The frames the shifter holds before its first output, at the current settings.
int BeatShifterInitialLatencyFrames();
// The frames it delivers at once, one processing sequence.
int BeatShifterBurstFrames();
