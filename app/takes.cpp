#include "app/takes.h"

#include "persistence/data_folder.h"
#include "recording/recorder.h"

namespace {
const char* What(RecordFailure failure) {
    switch (failure) {
        case RecordFailure::None: break;
        case RecordFailure::Folder: return "Khong tao duoc thu muc";
        case RecordFailure::CreateFile: return "Khong tao duoc file";
        case RecordFailure::FirstHeader: return "Khong ghi duoc header WAV";
        case RecordFailure::WriterThread: return "Khong chay duoc luong ghi file";
        case RecordFailure::Write: return "Loi ghi file";
        case RecordFailure::HeaderUpdate: return "Loi cap nhat header WAV";
        case RecordFailure::Close: return "Loi dong file";
    }
    return "";
}
}  // namespace

bool StartTake(int32_t mode, const std::string& folder, const std::string& name) {
    return StartRecording(mode, folder.empty() ? GetDefaultRecordingsFolder() : folder, name);
}

std::string RecordingFailureText() {
    const RecordFailure failure = RecordingFailure();
    return failure == RecordFailure::None ? std::string() : std::string(What(failure)) + ": " + RecordingFailReason();
}
