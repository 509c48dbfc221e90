#pragma once
// Record ring: 16-bit stereo frames from the recorder tap in the callback
// (producer) to the WAV writer thread (consumer).

#include <cstdint>

// The recorder tap: one frame per call while recording. Non-finite values
// are recorded as silence; a full ring drops and counts the frame.
void PushRecorderFrame(float left, float right);

// Empties the ring and zeroes its counters; only while the tap is off.
void ResetRecordRing();

// Consumer. Samples waiting in the ring.
uint64_t RecordRingPending();
// Consumer. Moves up to maxSamples (a multiple of two) into destination and
// returns how many it moved.
uint64_t ReadRecordRing(int16_t* destination, uint64_t maxSamples);
