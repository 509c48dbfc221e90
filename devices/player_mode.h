#pragma once
// Whether the Mini Player is active: it decides who consumes the beat ring
// and how much latency the beat pump lets the ring hold. Set by the window,
// read by the beat pump's thread.

#include <atomic>

inline std::atomic<bool> miniPlayerActive{false};
