// The audio path never touches the heap: allocations counted while StudioCallback runs, in every mode.

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "engine/bridge_ring.h"
#include "tests/support/engine_fixture.h"

namespace {
thread_local bool counting = false;
std::atomic<int> allocations{0};
}  // namespace

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // these replace the global allocator: malloc and free pair up

void* operator new(std::size_t size) {
    if (counting) allocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {
TEST_F(EngineTest, CallbackAllocatesNothingInAnyMode) {
    std::vector<float> beat(8192, 0.25f), mic(2048, 0.5f), in(2 * 4096, 0.3f), out(2 * 4096);
    engine.inputChannels = 2;
    engine.recorderActive = true;
    for (int round = 0; round < 8; ++round) {
        engine.studioMode = round % 2;
        engine.recordMode = (round / 2) % 2;
        engine.micBridgeEnabled = engine.micBridgeRunning = round >= 4;
        WriteBeatRing(beat.data(), static_cast<int64_t>(beat.size()));
        WriteBridgeRing(mic.data(), static_cast<uint32_t>(mic.size()));
        counting = true;
        StudioCallback(out.data(), in.data(), 256, 0.0, 0, nullptr);
        StudioCallback(out.data(), in.data(), 4096, 0.0, 1, nullptr);
        counting = false;
    }
    EXPECT_EQ(allocations.load(), 0);
}
}  // namespace
