#pragma once
// The arithmetic every single-producer single-consumer ring here shares.
// A wrapping index stays in 0..size-1; a counting index only grows and its
// slot is index % size. Each ring keeps its own gate, trim and drop rules.

#include <algorithm>
#include <atomic>

// Samples waiting between two wrapping indices.
template <typename I>
constexpr I RingWaiting(I write, I read, I size) {
    return (write + size - read) % size;
}

// count is at most size.
template <typename I>
constexpr I RingAdvance(I index, I count, I size) {
    return (index + count) % size;
}

template <typename T, typename I>
void CopyOutOfRing(const T* ring, I size, I slot, T* destination, I count) {
    const I first = std::min(count, size - slot);
    std::copy_n(ring + slot, first, destination);
    std::copy_n(ring, count - first, destination + first);
}

template <typename T, typename I>
void CopyIntoRing(T* ring, I size, I slot, const T* source, I count) {
    const I first = std::min(count, size - slot);
    std::copy_n(source, first, ring + slot);
    std::copy_n(source + first, count - first, ring);
}

// After the samples are stored (producer) or copied out (consumer), so the
// other side's acquire load sees them, or sees the slots free.
template <typename I>
void PublishRingIndex(std::atomic<I>& index, I value) {
    index.store(value, std::memory_order_release);
}
