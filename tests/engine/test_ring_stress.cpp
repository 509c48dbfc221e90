// The beat and bridge rings driven by real threads at full speed, carrying a counter. Run under TSan in CI
// (the record ring races in the recorder tests).

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "engine/bridge_ring.h"
#include "tests/support/engine_fixture.h"

namespace {
constexpr int kTotal = 3'000'000;  // exact integers in float

// The UI thread pumps and trims the beat and hands the ring between the Studio callback and the
// Mini render thread. Both keep reading throughout, as when stopping the Studio stream fails.
TEST_F(EngineTest, BeatRingHandOversAndTrimsNeverLetBothReadersInNorDeliverASampleTwice) {
    std::atomic<bool> done{false};
    std::atomic<long long> reads[2] = {0, 0}, faults{0};
    std::vector<std::atomic<bool>> delivered(kTotal + 960);  // and the last batch past it
    auto reader = [&](BeatReader who) {
        std::vector<float> block(256);
        float last = -1.0f;
        while (!done.load()) {
            if (ReadBeatRing(block.data(), 256, who) != 256) continue;
            // Nothing after a later sample, and a trim never cuts into a read.
            faults += block[0] <= last || block[255] != block[0] + 255.0f;
            last = block[255];
            for (const float v : block) faults += delivered[static_cast<size_t>(v)].exchange(true);
            ++reads[static_cast<int>(who)];
        }
    };
    std::thread studio(reader, BeatReader::Studio), mini(reader, BeatReader::Mini);
    std::vector<float> batch(960);
    float next = 0;
    long long holderReadsBefore = 0;  // each holder reads a few times before the next hand-over
    int handOvers = 0;
    while (handOvers < 200 && next < kTotal) {
        if (BeatRingFill() < 6000) {  // paced like the pump, so trims still cut
            for (float& v : batch) v = next++;
            WriteBeatRing(batch.data(), static_cast<int64_t>(batch.size()));
            TrimBeatRing(HoldsBeatRing(BeatReader::Mini) ? 19200 : 6720);
        }
        const int holder = HoldsBeatRing(BeatReader::Studio) ? 0 : 1;
        if (reads[holder].load() < holderReadsBefore + 4) continue;
        ++handOvers;
        holderReadsBefore = reads[1 - holder].load();
        HandBeatRingTo(holder == 0 ? BeatReader::Mini : BeatReader::Studio);
    }
    done = true;
    studio.join();
    mini.join();
    EXPECT_EQ(handOvers, 200);
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(engine.beatReaderOverlaps, 0u);
}

// The microphone's packets against the callback's blocks, which cut the backlog on the way.
TEST_F(EngineTest, BridgeRingDeliversInOrderWhileTheConsumerCutsTheBacklog) {
    std::atomic<bool> done{false};
    std::thread producer([&] {
        std::vector<float> packet(480);
        for (float next = 0; next < kTotal; WriteBridgeRing(packet.data(), 480)) {
            for (float& s : packet) s = next++;
        }
        done = true;
    });
    long long delivered = 0, faults = 0;
    float last = -1.0f;
    std::vector<float> block(128);
    while (!done.load()) {
        const uint32_t n = ReadBridgeBlock(block.data(), 128);
        for (uint32_t i = 0; i < n; ++i) faults += block[i] <= std::exchange(last, block[i]);
        delivered += n;
    }
    producer.join();
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(engine.bridgeFramesConsumed, static_cast<uint64_t>(delivered));
}
}  // namespace
