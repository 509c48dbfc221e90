// Saving the config. Every change saves it, a dragged slider once a frame,
// and each write waits for the disk twice: with the saver running that wait
// is on a thread of its own, never the window's.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/console.h"
#include "platform/thread_name.h"

namespace {
// The saver waits this long after a change for the ones that follow it.
constexpr auto kGatherTime = std::chrono::milliseconds(250);

struct ConfigSaver {
    std::thread thread;
    std::mutex writing;  // one write of the file at a time; taken before `lock`
    std::mutex lock;     // the fields below
    std::condition_variable wake;
    bool running = false;
    bool stopping = false;
    bool due = false;                  // a save was asked for since the last write began
    std::optional<AppConfig> pending;  // the newest copy not on disk
    bool failureTold = false;          // under `writing`
};
ConfigSaver saver;

// The config as it stands, with the live microphone channel the window changes.
AppConfig ConfigNow() {
    AppConfig config = appConfig;
    config.micChannel = engine.micChannelMode;
    return config;
}

bool WriteConfig(const AppConfig& config) { return SaveKeptFile(configFile, ConfigPath(), WriteConfigText(config)); }

// A copy that could not be written stays pending, unless a newer one came
// meanwhile: the next save, or the stop, tries again.
void WritePending() {
    const std::lock_guard<std::mutex> writing(saver.writing);
    std::optional<AppConfig> config;
    {
        const std::lock_guard<std::mutex> lock(saver.lock);
        config.swap(saver.pending);
        saver.due = false;
    }
    if (!config) return;
    if (WriteConfig(*config)) {
        saver.failureTold = false;
        return;
    }
    if (!saver.failureTold) {
        Console("[WARN] Khong luu duoc cau hinh vao " + ConfigPath() + " - se thu lai o lan luu sau.\n");
    }
    saver.failureTold = true;
    const std::lock_guard<std::mutex> lock(saver.lock);
    if (!saver.pending) saver.pending = std::move(config);
}

void SaverThread() {
    NameThisThread("sonavela-save");
    std::unique_lock<std::mutex> lock(saver.lock);
    for (;;) {
        saver.wake.wait(lock, [] { return saver.due || saver.stopping; });
        saver.wake.wait_for(lock, kGatherTime, [] { return saver.stopping; });
        const bool last = saver.stopping;
        lock.unlock();
        WritePending();
        if (last) return;
        lock.lock();
    }
}
}  // namespace

bool SaveConfig() {
    {
        const std::lock_guard<std::mutex> lock(saver.lock);
        if (saver.running) {
            saver.pending = ConfigNow();
            saver.due = true;
            saver.wake.notify_one();
            return true;
        }
    }
    return SaveConfigNow();
}

bool SaveConfigNow() {
    const std::lock_guard<std::mutex> writing(saver.writing);
    {
        const std::lock_guard<std::mutex> lock(saver.lock);
        saver.pending.reset();  // older than what is written now
        saver.due = false;
    }
    const bool written = WriteConfig(ConfigNow());
    if (written) saver.failureTold = false;
    return written;
}

void StartConfigSaver() {
    const std::lock_guard<std::mutex> lock(saver.lock);
    if (saver.running) return;
    saver.stopping = false;
    try {
        saver.thread = std::thread(SaverThread);
        saver.running = true;
    } catch (const std::system_error&) {
        // No thread: every save stays on the caller's thread, as before the start.
    }
}

void StopConfigSaver() {
    {
        const std::lock_guard<std::mutex> lock(saver.lock);
        if (!saver.running) return;
        saver.running = false;
        saver.stopping = true;
    }
    saver.wake.notify_one();
    saver.thread.join();
}

void FlushConfigSaves() { WritePending(); }
