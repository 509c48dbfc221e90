#include "devices/beat_pump.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "devices/beat_capture.h"
#include "engine/beat_tone.h"
#include "platform/console.h"
#include "platform/thread_name.h"
#include "platform/thread_priority.h"

namespace {
// The capture delivers 5 ms fragments: pumping at their pace keeps the pump
// gap, and with it the ring's cushion (beat_capture.cpp), short and steady.
constexpr auto kPumpPeriod = std::chrono::milliseconds(5);

struct BeatPump {
    std::thread thread;
    std::atomic<bool> running{false};
    // Held for one pump, and by a BeatPumpPause to keep the pump out.
    // Recursive, so a paused caller may call what pauses again.
    std::recursive_mutex pumping;
    std::atomic<float> requestedTone{0.0f};
    std::atomic<bool> toneWaiting{false};
};
BeatPump beatPump;

bool IsBeatPumpRunning() { return beatPump.running.load(std::memory_order_acquire); }

// Inside `pumping`, where the shifter is the pump's.
void ApplyRequestedTone() {
    if (beatPump.toneWaiting.exchange(false)) SetBeatTone(beatPump.requestedTone.load());
}

void BeatPumpThread() {
    NameThisThread("sonavela-beat");
    RaiseThisThreadPriority();  // ahead of ordinary work, which could otherwise starve the ring under load
    while (beatPump.running.load(std::memory_order_acquire)) {
        {
            const std::lock_guard<std::recursive_mutex> pumpingNow(beatPump.pumping);
            ApplyRequestedTone();
            PumpBeat();
        }
        std::this_thread::sleep_for(kPumpPeriod);
    }
}
}  // namespace

void StartBeatPump() {
    if (beatPump.running.exchange(true)) return;
    try {
        beatPump.thread = std::thread(BeatPumpThread);
    } catch (const std::system_error& e) {
        beatPump.running = false;
        Console(std::string("[WARN] Khong tao duoc luong beat pump: ") + e.what() + "\n");
    }
}

void StopBeatPump() {
    beatPump.running.store(false, std::memory_order_release);
    if (beatPump.thread.joinable()) beatPump.thread.join();
    const BeatPumpPause pause;
    ApplyRequestedTone();  // one asked for after the last pump
}

float RequestBeatTone(float semitones) {
    const float tone = ClampBeatTone(semitones);
    beatPump.requestedTone.store(tone);
    beatPump.toneWaiting.store(true);  // after the tone, so the pump that sees the flag sees the tone
    if (!IsBeatPumpRunning()) {
        const BeatPumpPause pause;
        ApplyRequestedTone();
    }
    return tone;
}

float RequestedBeatTone() { return beatPump.requestedTone.load(); }

BeatPumpPause::BeatPumpPause() { beatPump.pumping.lock(); }

BeatPumpPause::~BeatPumpPause() { beatPump.pumping.unlock(); }
