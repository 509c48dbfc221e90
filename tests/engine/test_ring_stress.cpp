// Each ring driven by real producer and consumer threads at full speed, carrying a counter. Run under TSan in CI.

#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "engine/bridge_ring.h"
#include "tests/support/engine_fixture.h"

namespace {
constexpr int kTotal = 3'000'000;  // exact integers in float

// Runs produce() on a thread of its own and consume() on this one until the producer is done.
void Race(const std::function<void()>& produce, const std::function<void()>& consume) {
    std::atomic<bool> done{false};
    std::thread producer([&] { produce(), done = true; });
    while (!done.load()) consume();
    producer.join();
}

// The UI thread pumps and trims the beat and hands the ring between the Studio callback and the
// Mini render thread. Both keep reading throughout, as when stopping the Studio stream fails.
TEST_F(EngineTest, BeatRingHandOversAndTrimsNeverLetBothReadersInNorDeliverASampleTwice) {
    std::atomic<bool> done{false};
    std::atomic<long long> reads[2] = {0, 0}, faults{0};
    std::vector<std::atomic<bool>> delivered(kTotal);
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

TEST_F(EngineTest, BridgeRingDeliversInOrderWhileTheConsumerCutsTheBacklog) {
    long long stored = 0, delivered = 0, faults = 0;
    float last = -1.0f;
    std::vector<float> block(128), packet(480);
    Race(
        [&] {
            for (float next = 0; next < kTotal; stored += WriteBridgeRing(packet.data(), 480)) {
                for (float& s : packet) s = next++;
            }
        },
        [&] {
            const uint32_t n = ReadBridgeBlock(block.data(), 128);
            for (uint32_t i = 0; i < n; ++i) faults += block[i] <= std::exchange(last, block[i]);
            delivered += n;
        });
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(engine.bridgeFramesCaptured, static_cast<uint64_t>(kTotal));
    EXPECT_EQ(engine.bridgeFramesConsumed, static_cast<uint64_t>(delivered));
    EXPECT_LE(delivered, stored);
}

TEST_F(EngineTest, RecordRingDrainsExactlyWhatWasPushedMinusTheCountedDrops) {
    constexpr int kFrames = 2'000'000;
    engine.recorderActive = true;
    std::vector<int16_t> chunk(4096);
    long long drained = 0, faults = 0, last = -1;
    auto drain = [&] {
        const uint64_t got = ReadRecordRing(chunk.data(), chunk.size());
        for (uint64_t i = 0; i < got; i += 2) {
            const long long frame = (chunk[i] << 15) | chunk[i + 1];
            faults += frame <= std::exchange(last, frame);
        }
        drained += static_cast<long long>(got / 2);
        return got > 0;
    };
    Race(
        [&] {
            for (int i = 0; i < kFrames; ++i) {  // the frame number in two 15-bit halves
                PushRecorderFrame((static_cast<float>(i >> 15) + 0.5f) / 32767.0f,
                                  (static_cast<float>(i & 0x7FFF) + 0.5f) / 32767.0f);
            }
        },
        drain);
    while (drain()) continue;
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(drained + static_cast<long long>(engine.recordFramesDropped.load()), kFrames);
    EXPECT_EQ(engine.recordFramesPushed, static_cast<uint64_t>(drained));
}
}  // namespace
