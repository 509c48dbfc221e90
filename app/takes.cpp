#include "app/takes.h"

#include <cstdio>

#include "engine/engine_params.h"
#include "persistence/data_folder.h"
#include "recording/recorder.h"

namespace {
const char* What(RecordFailure failure) {
    switch (failure) {
        case RecordFailure::None:
            break;
        case RecordFailure::Folder:
            return "Khong tao duoc thu muc";
        case RecordFailure::CreateFile:
            return "Khong tao duoc file";
        case RecordFailure::FirstHeader:
            return "Khong ghi duoc header WAV";
        case RecordFailure::WriterThread:
            return "Khong chay duoc luong ghi file";
        case RecordFailure::Write:
            return "Loi ghi file";
        case RecordFailure::HeaderUpdate:
            return "Loi cap nhat header WAV";
        case RecordFailure::Close:
            return "Loi dong file";
        case RecordFailure::DroppedFrames:
            return "Ban thu khong tron ven";
    }
    return "";
}
}  // namespace

std::string TakeLength(uint64_t frames) {
    const uint64_t tenths = frames * 10 / static_cast<uint64_t>(EngineParams::sampleRate);
    char text[48];
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu.%llu", static_cast<unsigned long long>(tenths / 36000),
                  static_cast<unsigned long long>(tenths / 600 % 60), static_cast<unsigned long long>(tenths / 10 % 60),
                  static_cast<unsigned long long>(tenths % 10));
    return text;
}

bool StartTake(int32_t mode, const std::string& folder, const std::string& name) {
    return StartRecording(mode, folder.empty() ? GetDefaultRecordingsFolder() : folder, name);
}

std::string RecordingFailureText() {
    const RecordFailure failure = RecordingFailure();
    if (failure == RecordFailure::DroppedFrames) {
        const uint64_t dropped = engine.recordFramesDropped.load(std::memory_order_relaxed);
        return std::string(What(failure)) + ": recorder bi mat " + std::to_string(dropped) + " frame (" +
               TakeLength(dropped) + ")";
    }
    return failure == RecordFailure::None ? std::string() : std::string(What(failure)) + ": " + RecordingFailReason();
}
