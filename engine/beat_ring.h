#pragma once
// Beat ring operations. One producer (the beat pump) and one consumer at a
// time: the Studio callback or the Mini render thread, whichever holds the
// ring. The producer writes without looking at the read index and keeps the
// fill far below capacity with TrimBeatRing; the consumer reads whole
// requests or nothing.

#include <cstdint>

enum class BeatReader : int32_t { Studio, Mini };

// Consumer. Copies count samples, or nothing while who does not hold the
// ring, while the prefill gate is shut or while the ring holds fewer than
// count samples (which shuts the gate).
int64_t ReadBeatRing(float* destination, int64_t count, BeatReader who);

// Producer. Stores count samples and opens the gate once the fill has
// reached the prefill target.
void WriteBeatRing(const float* source, int64_t count);

// Producer. Drops the oldest samples (whole frames) so that at most limit
// remain; safe while the consumer reads. Returns the samples dropped.
int64_t TrimBeatRing(int64_t limit);

int64_t BeatRingFill();

// Consumer or producer. Unless the ring holds its target fill, shuts the gate
// until the producer has filled it that far again: a ring that ran dry, or a
// capture or output that came back, starts again with its whole cushion
// instead of handing on each packet as it comes. Counted in beatRingReprimes.
void ReprimeBeatRing();

// The rest is for the window's thread while it keeps the producer out (the
// beat pump paused), or for the producer itself.

// Takes the ring away from both readers, waits until neither is inside a read
// (a stream whose stop failed may still be calling), resets it and gives it to
// who. The Studio holds it at start.
void HandBeatRingTo(BeatReader who);
bool HoldsBeatRing(BeatReader who);

void SetBeatPrefill(int32_t samples);
// After the hand-over (which clears it): the samples the reader takes at once
// when the gate opens, added to the target.
void SetBeatReaderTake(int32_t samples);
// With no reader inside the ring.
void ResetBeatRing();
