#pragma once
// Bridge ring: mono microphone samples from the Direct Mic Bridge thread
// (producer) to the Studio callback (consumer). One slot always stays free.

#include <cstdint>

// Producer. Stores samples until the ring is full and drops the rest; every
// offered sample counts as captured. Returns the samples stored.
uint32_t WriteBridgeRing(const float* source, uint32_t count);

// Consumer. Cuts the backlog to the latency limit, then copies up to
// nFrames samples; a short read counts as an underrun and leaves the rest
// of the destination untouched. Returns the samples taken.
uint32_t ReadBridgeBlock(float* destination, uint32_t nFrames);

// UI thread, with the bridge thread stopped: the consumer's next read starts
// where the capture ended, so nothing of an earlier capture reaches the voice.
void FlushBridgeRing();
// The flush, and the bridge counters back to zero.
void ResetBridgeRing();
