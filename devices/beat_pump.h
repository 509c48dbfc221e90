#pragma once
// The beat pump on a thread of its own, so that nothing the window does (a
// dialog, a slow disk, a minimised window) can starve the beat. The thread
// owns the Tone Control shifter: tone changes are handed to it.

// Starts the thread (once); it pumps every few milliseconds until stopped.
void StartBeatPump();
// Ends the thread for certain (at exit, before the capture is closed).
void StopBeatPump();
// Hands the tone to the pump; returns the tone now asked for, -3..+3.
float RequestBeatTone(float semitones);
float RequestedBeatTone();

// While one is alive the pump is idle between two pumps, so the caller may
// open or close the capture, hand the beat ring over or reset it.
struct BeatPumpPause {
    BeatPumpPause();
    ~BeatPumpPause();
    BeatPumpPause(const BeatPumpPause&) = delete;
    BeatPumpPause& operator=(const BeatPumpPause&) = delete;
};
