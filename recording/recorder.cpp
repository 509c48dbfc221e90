#include "recording/recorder.h"

#include <chrono>
#include <system_error>

#include "engine/engine_params.h"
#include "engine/record_ring.h"
#include "platform/local_time.h"
#include "platform/thread_name.h"
#include "recording/record_folder.h"
#include "recording/record_name.h"
#include "recording/wav_header.h"

RecorderState recorder;

namespace {
constexpr uint64_t kWriterChunkSamples = 16384;  // 170 ms of audio
constexpr auto kWriterNap = std::chrono::milliseconds(10);
// Bounds what a crash can cost: the samples since the last header update.
constexpr auto kHeaderEvery = std::chrono::milliseconds(500);
constexpr uint32_t kMaxNameAttempts = 10000;

void MarkFailed(RecordFailure what, const std::string& reason) {
    if (recorder.failed.load(std::memory_order_acquire)) return;
    recorder.failure = what;
    recorder.failReason = reason;
    recorder.failed.store(true, std::memory_order_release);
}

// Syncs the data first, so the header on disk never announces more than the disk holds.
bool RewriteHeader() {
    std::string reason;
    const auto header = BuildWavHeader(recorder.dataBytes.load(std::memory_order_relaxed));
    if (SyncRecordFile(recorder.file, reason) &&
        WriteRecordFileAt(recorder.file, 0, header.data(), header.size(), reason) &&
        SyncRecordFile(recorder.file, reason)) {
        return true;
    }
    MarkFailed(RecordFailure::HeaderUpdate, reason);
    return false;
}

// Keeps only the whole frames that reached the file, then announces them.
void EndAfterFailedWrite(const std::string& reason) {
    MarkFailed(RecordFailure::Write, reason);
    engine.recorderActive.store(false, std::memory_order_release);
    const uint64_t whole = recorder.dataBytes.load(std::memory_order_relaxed) / kWavFrameBytes * kWavFrameBytes;
    std::string ignored;
    if (TruncateRecordFile(recorder.file, kWavHeaderBytes + whole, ignored)) recorder.dataBytes.store(whole);
    RewriteHeader();
}

bool WriteSamples(const int16_t* samples, uint64_t count) {
    size_t written = 0;
    std::string reason;
    const bool ok = AppendRecordFile(recorder.file, samples, count * sizeof(int16_t), written, reason);
    recorder.dataBytes.fetch_add(written, std::memory_order_relaxed);
    if (!ok) EndAfterFailedWrite(reason);
    return ok;
}

// Whole chunks while recording: a few large writes a second instead of
// hundreds of small ones. When the header is due the ring is drained first,
// so the header announces everything recorded up to that moment.
void WavWriterThread() {
    NameThisThread("sonavela-rec");
    int16_t buffer[kWriterChunkSamples];
    auto headerDue = std::chrono::steady_clock::now() + kHeaderEvery;
    for (;;) {
        const bool keepRunning = recorder.writerKeepRunning.load(std::memory_order_acquire);
        const bool headerTime = std::chrono::steady_clock::now() >= headerDue;
        if (keepRunning && !headerTime && RecordRingPending() < kWriterChunkSamples) {
            std::this_thread::sleep_for(kWriterNap);
            continue;
        }
        const uint64_t count = ReadRecordRing(buffer, kWriterChunkSamples);
        if (count == 0 && !keepRunning) break;
        if (count > 0 && !WriteSamples(buffer, count)) return;
        if (count == kWriterChunkSamples || !headerTime) continue;
        const uint64_t frames = recorder.dataBytes.load(std::memory_order_relaxed) / kWavFrameBytes;
        if (frames != recorder.headerFramesMark) {
            if (!RewriteHeader()) {
                engine.recorderActive.store(false, std::memory_order_release);
                return;
            }
            recorder.headerFramesMark = frames;
        }
        headerDue = std::chrono::steady_clock::now() + kHeaderEvery;
    }
}

// Frames the tap could not fit in the ring are missing from the file: the take is not whole.
void MarkDroppedFrames() {
    const uint64_t dropped = engine.recordFramesDropped.load(std::memory_order_relaxed);
    if (dropped > 0) MarkFailed(RecordFailure::DroppedFrames, std::to_string(dropped) + " frames dropped");
}

void ResetForNewTake() {
    ResetRecordRing();
    recorder.dataBytes = 0;
    recorder.headerFramesMark = 0;
    recorder.failed = false;
    recorder.failReason.clear();
}

// Creates the first free name of this second: attempt 2 gets "_2" before ".wav".
bool CreateTakeFile(const std::string& folder, int32_t mode, const std::string& name, std::string& reason) {
    const LocalTime now = LocalTimeNow();
    for (uint32_t attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string path = JoinRecordPath(folder, RecordFileName(name, mode, now, attempt));
        bool nameTaken = false;
        if (CreateRecordFile(path, recorder.file, nameTaken, reason)) {
            recorder.filePath = path;
            return true;
        }
        if (!nameTaken) return false;
    }
    reason = "every name of this second is taken";
    return false;
}

void AbandonTakeFile() {
    std::string ignored;
    CloseRecordFile(recorder.file, ignored);
    RemoveRecordFile(recorder.filePath);
    recorder.filePath.clear();
}

bool WriteEmptyHeader(std::string& reason) {
    const auto header = BuildWavHeader(0);
    size_t written = 0;
    return AppendRecordFile(recorder.file, header.data(), header.size(), written, reason) &&
           SyncRecordFile(recorder.file, reason);
}

bool StartWriterThread() {
    try {
        recorder.writerThread = std::thread(WavWriterThread);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
}  // namespace

bool StartRecording(int32_t mode, const std::string& folder, const std::string& name) {
    if (engine.recorderActive.load(std::memory_order_acquire)) return false;
    StopRecording();
    ResetForNewTake();
    const std::string& target = folder;
    std::string reason;
    if (target.empty() || !EnsureRecordFolder(target, reason)) {
        MarkFailed(RecordFailure::Folder, target.empty() ? "no recordings folder was given" : reason);
        return false;
    }
    if (!CreateTakeFile(target, mode, name, reason)) {
        recorder.filePath.clear();
        MarkFailed(RecordFailure::CreateFile, reason);
        return false;
    }
    if (!WriteEmptyHeader(reason)) {
        AbandonTakeFile();
        MarkFailed(RecordFailure::FirstHeader, reason);
        return false;
    }
    engine.recordMode.store(mode == 1 ? 1 : 0, std::memory_order_relaxed);
    recorder.writerKeepRunning.store(true, std::memory_order_release);
    engine.recorderActive.store(true, std::memory_order_release);
    if (!StartWriterThread()) {
        engine.recorderActive.store(false, std::memory_order_release);
        recorder.writerKeepRunning.store(false, std::memory_order_release);
        AbandonTakeFile();
        MarkFailed(RecordFailure::WriterThread, "the system refused a new thread");
        return false;
    }
    return true;
}

bool StopRecording() {
    engine.recorderActive.store(false, std::memory_order_release);
    recorder.writerKeepRunning.store(false, std::memory_order_release);
    if (recorder.writerThread.joinable()) {
        if (recorder.writerThread.get_id() == std::this_thread::get_id()) return false;
        recorder.writerThread.join();
    }
    if (!IsRecordFileOpen(recorder.file)) return true;
    MarkDroppedFrames();
    RewriteHeader();
    std::string reason;
    if (!CloseRecordFile(recorder.file, reason)) MarkFailed(RecordFailure::Close, reason);
    if (!recorder.filePath.empty()) recorder.lastSavedPath = recorder.filePath;
    return !RecordingFailed();
}

bool RecordingFailed() { return recorder.failed.load(std::memory_order_acquire); }

RecordFailure RecordingFailure() { return RecordingFailed() ? recorder.failure : RecordFailure::None; }

std::string RecordingFailReason() { return RecordingFailed() ? recorder.failReason : std::string(); }
