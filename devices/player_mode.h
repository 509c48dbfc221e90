#pragma once
// Whether the Mini Player is active: it decides who consumes the beat ring
// and how much latency the beat pump lets the ring hold. UI thread only.

inline bool miniPlayerActive = false;
