#pragma once
// Beat ring operations. One producer (the beat pump) and one consumer (the
// Studio callback or the Mini render thread). The producer writes without
// looking at the read index and keeps the fill far below capacity with
// TrimBeatRing; the consumer reads whole requests or nothing.

#include <cstdint>

// Consumer. Copies count samples, or nothing while the prefill gate is shut
// or the ring holds fewer than count samples (which shuts the gate).
int64_t ReadBeatRing(float* destination, int64_t count);

// Producer. Stores count samples and opens the gate once the fill has
// reached the prefill target.
void WriteBeatRing(const float* source, int64_t count);

// Producer. Drops the oldest samples (whole frames) so that at most limit
// remain; safe while the consumer reads. Returns the samples dropped.
int64_t TrimBeatRing(int64_t limit);

int64_t BeatRingFill();

// UI thread, with no consumer running.
void SetBeatPrefill(int32_t samples);
void ResetBeatRing();
