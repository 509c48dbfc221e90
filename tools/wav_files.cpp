#include "tools/wav_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "persistence/atomic_file.h"
#include "platform/file_access.h"

namespace fs = std::filesystem;

namespace {
constexpr int kRate = 48000;

uint32_t BytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8:
            return 1;
        case SF_FORMAT_PCM_16:
            return 2;
        case SF_FORMAT_PCM_24:
            return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 4;
        case SF_FORMAT_DOUBLE:
            return 8;
        default:
            return 0;  // compressed: no fixed size to compare with
    }
}

// libsndfile quietly shortens a data chunk that runs past the end of the file;
// the header's own figure says how much of the take is missing.
uint64_t ClaimedFrames(SNDFILE* file, const SF_INFO& info) {
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const uint64_t frameBytes = uint64_t{BytesPerSample(info.format)} * static_cast<uint64_t>(info.channels);
    if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || frameBytes == 0)
        return static_cast<uint64_t>(info.frames);
    SF_CHUNK_INFO data{};
    std::strcpy(data.id, "data");
    data.id_size = 4;
    SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(file, &data);
    SF_CHUNK_INFO found{};
    if (it == nullptr || sf_get_chunk_size(it, &found) != SF_ERR_NO_ERROR || found.datalen == 0xFFFFFFFFu) {
        return static_cast<uint64_t>(info.frames);
    }
    return std::max(static_cast<uint64_t>(info.frames), found.datalen / frameBytes);
}

// The regular file a write to `path` replaces: a symbolic link is followed to
// its target, which may not exist yet; anything else but a regular file is refused.
bool ResolveTarget(const std::string& path, std::string& target, std::string& error) {
    if (!ResolveLinks(path, target)) {
        error = "cannot follow the links of " + path;
        return false;
    }
    std::error_code failure;
    const fs::file_status status = fs::symlink_status(Utf8Path(target), failure);
    if (status.type() == fs::file_type::not_found) return true;
    if (failure) {
        error = "cannot use " + target + ": " + failure.message();
        return false;
    }
    if (status.type() == fs::file_type::regular) return true;
    error = "will not replace " + target + ": it is not a regular file (a device, folder or pipe)";
    return false;
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(Utf8Path(path), ignored);
}

bool CloseWriter(WavWriter& wav, std::string& error) {
    const bool closed = sf_close(wav.file) == 0;
    wav.file = nullptr;
    std::string syncError;
    const bool synced = SyncDescriptor(wav.descriptor, syncError);
    CloseDescriptor(wav.descriptor);
    wav.descriptor = -1;
    if (!closed || !synced) {
        error = "cannot finish " + wav.temporary + ": " + (closed ? syncError : "the header could not be written");
        return false;
    }
    return true;
}
}  // namespace

bool OpenWavReader(const std::string& path, WavReader& wav, std::string& error) {
    SF_INFO info{};
    wav.descriptor = OpenFileToRead(path);
    if (wav.descriptor < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // The descriptor stays ours: libsndfile closes only what it opened itself.
    wav.file = sf_open_fd(wav.descriptor, SFM_READ, &info, SF_FALSE);
    if (wav.file == nullptr) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        CloseDescriptor(wav.descriptor);
        wav.descriptor = -1;
        return false;
    }
    wav.channels = static_cast<uint32_t>(info.channels);
    wav.sampleRate = static_cast<uint32_t>(info.samplerate);
    wav.frames = static_cast<uint64_t>(info.frames);
    wav.claimedFrames = ClaimedFrames(wav.file, info);
    wav.position = 0;
    wav.readFailed = false;
    return true;
}

void ReadWavFrames(WavReader& wav, float* interleaved, uint64_t frames) {
    const uint64_t wanted = std::min(frames, wav.frames - std::min(wav.position, wav.frames));
    sf_count_t got = 0;
    if (wanted > 0)
        got = std::max<sf_count_t>(0, sf_readf_float(wav.file, interleaved, static_cast<sf_count_t>(wanted)));
    if (static_cast<uint64_t>(got) < wanted) wav.readFailed = true;
    std::fill(interleaved + static_cast<uint64_t>(got) * wav.channels, interleaved + frames * wav.channels, 0.0f);
    wav.position += frames;
}

void CloseWavReader(WavReader& wav) {
    if (wav.file != nullptr) sf_close(wav.file);
    wav.file = nullptr;
    if (wav.descriptor >= 0) CloseDescriptor(wav.descriptor);
    wav.descriptor = -1;
}

bool OpenFloatWavWriter(const std::string& path, uint32_t channels, WavWriter& wav, std::string& error) {
    if (!ResolveTarget(path, wav.target, error)) return false;
    // A fresh name every run: a stale or concurrent temporary file is never reused.
    std::string reason;
    wav.descriptor = CreateUniqueFile(wav.target, ".partial", wav.temporary, reason);
    if (wav.descriptor < 0) {
        error = "cannot create a file beside " + wav.target + ": " + reason;
        return false;
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = static_cast<int>(channels);
    info.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
    wav.file = sf_open_fd(wav.descriptor, SFM_WRITE, &info, SF_FALSE);
    if (wav.file == nullptr) {
        error = "cannot create " + wav.temporary + ": " + sf_strerror(nullptr);
        CloseDescriptor(wav.descriptor);
        wav.descriptor = -1;
        RemoveFile(wav.temporary);
        return false;
    }
    // Written as a plain WAV file unless it grows past 4 GiB.
    sf_command(wav.file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    wav.frames = 0;
    return true;
}

bool WriteWavFrames(WavWriter& wav, const float* interleaved, uint64_t frames, std::string& error) {
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_writef_float(wav.file, interleaved, count) != count) {
        error = "cannot write " + wav.temporary + ": " + sf_strerror(wav.file);
        return false;
    }
    wav.frames += frames;
    return true;
}

bool CommitWavWriter(WavWriter& wav, std::string& error) {
    if (!CloseWriter(wav, error)) {
        RemoveFile(wav.temporary);
        return false;
    }
    // Checked again at the last moment: something else may have taken the name meanwhile.
    std::error_code failure;
    const fs::file_type type = fs::symlink_status(Utf8Path(wav.target), failure).type();
    if (type != fs::file_type::not_found && type != fs::file_type::regular) {
        error = "will not replace " + wav.target + ": it is no longer a regular file";
        RemoveFile(wav.temporary);
        return false;
    }
    fs::rename(Utf8Path(wav.temporary), Utf8Path(wav.target), failure);
    if (failure) {
        error = "cannot replace " + wav.target + ": " + failure.message();
        RemoveFile(wav.temporary);
        return false;
    }
    return true;
}

bool KeepPartialWav(WavWriter& wav, std::string& error) { return CloseWriter(wav, error); }

void AbandonWavWriter(WavWriter& wav) {
    if (wav.file != nullptr) sf_close(wav.file);
    wav.file = nullptr;
    if (wav.descriptor >= 0) CloseDescriptor(wav.descriptor);
    wav.descriptor = -1;
    if (!wav.temporary.empty()) RemoveFile(wav.temporary);
}
