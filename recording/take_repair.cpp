#include "recording/take_repair.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/file_access.h"
#include "platform/record_file.h"
#include "recording/wav_header.h"

namespace fs = std::filesystem;

namespace {
using Header = std::array<uint8_t, kWavHeaderBytes>;

uint32_t Get32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// The recorder's own layout, whatever sizes it announces: anything else is not ours to touch.
bool IsTakeHeader(const Header& h) {
    const Header model = BuildWavHeader(0);
    return std::memcmp(h.data(), model.data(), 4) == 0 && std::memcmp(&h[8], &model[8], 32) == 0;
}

// What an independent reader makes of the file now.
bool ReadsAsTake(const std::string& path, uint64_t frames) {
    SF_INFO info{};
    const int descriptor = OpenFileToRead(path);
    if (descriptor < 0) return false;
    SNDFILE* f = sf_open_fd(descriptor, SFM_READ, &info, SF_FALSE);
    if (f != nullptr) sf_close(f);
    CloseDescriptor(descriptor);
    if (f == nullptr) return false;
    return info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16) && info.channels == 2 && info.samplerate == 48000 &&
           static_cast<uint64_t>(info.frames) == frames;
}

bool Rewrite(RecordFileHandle& file, const Header& h, std::string& reason) {
    return WriteRecordFileAt(file, 0, h.data(), h.size(), reason) && SyncRecordFile(file, reason);
}

bool Repair(RecordFileHandle& file, bool writable, const std::string& path, uint64_t& frames, std::string& reason) {
    uint64_t size = 0;
    Header old{};
    if (!RecordFileSize(file, size, reason)) return false;
    if (size < kWavHeaderBytes || !ReadRecordFileAt(file, 0, old.data(), old.size(), reason) || !IsTakeHeader(old)) {
        reason.clear();
        return false;
    }
    // A trailing part of a frame stays in the file, unannounced.
    const Header whole = BuildWavHeader(size - kWavHeaderBytes);
    frames = Get32(&whole[40]) / kWavFrameBytes;
    if (old == whole) {
        reason.clear();
        return false;
    }
    if (!writable) {
        reason = "no permission to write the file";
        return false;
    }
    if (!Rewrite(file, whole, reason)) {
        std::string ignored;
        Rewrite(file, old, ignored);
        return false;
    }
    if (ReadsAsTake(path, frames)) return true;
    reason = "the repaired file does not read back as a WAV take";
    std::string ignored;
    Rewrite(file, old, ignored);
    return false;
}
}  // namespace

bool RepairCutTake(const std::string& path, uint64_t& frames, std::string& reason) {
    RecordFileHandle file;
    bool writable = true;
    bool leaveAlone = false;
    if (!OpenRecordFileToRepair(path, file, writable, leaveAlone, reason)) {
        if (leaveAlone) reason.clear();
        return false;
    }
    const bool repaired = Repair(file, writable, path, frames, reason);
    std::string closeReason;
    if (!CloseRecordFile(file, closeReason) && repaired) {
        reason = closeReason;
        return false;
    }
    return repaired;
}

std::vector<TakeRepair> RepairCutTakes(const std::string& folder) {
    std::vector<fs::path> wavs;
    std::error_code error;
    for (fs::directory_iterator it(Utf8Path(folder), error), end; !error && it != end; it.increment(error)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        if (extension == ".wav") wavs.push_back(it->path());
    }
    std::sort(wavs.begin(), wavs.end());
    std::vector<TakeRepair> told;
    for (const fs::path& wav : wavs) {
        TakeRepair r{Utf8PathText(wav), 0, false, ""};
        r.repaired = RepairCutTake(r.path, r.frames, r.reason);
        if (r.repaired || !r.reason.empty()) told.push_back(r);
    }
    return told;
}
