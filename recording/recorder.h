#pragma once
// Records what the Studio stream produces (REC MIX or REC VOCAL) to a
// 48 kHz / 16-bit / stereo WAV file. The callback's recorder tap fills the
// record ring; a writer thread drains it into the file and, twice a second,
// pushes the data to the disk and rewrites the header, so a crash or power
// loss leaves a playable file missing at most its last second (and the
// repair at the next start, take_repair.h, restores what reached the file).
//
// A failed write stops the take where it failed: the file keeps a header
// that matches the whole frames in it, the tap stops, and the failure and
// its reason are kept for the panel until the next start. A take whose tap
// dropped frames because the ring was full is reported the same way: the
// file is valid but lacks those frames.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/record_file.h"

// What went wrong with a take; the reason says why, in the system's words.
enum class RecordFailure {
    None,
    Folder,         // the recordings folder could not be made
    CreateFile,     // the take's file could not be created
    FirstHeader,    // its first header could not be written
    WriterThread,   // the writer thread could not be started
    Write,          // a write failed: the take ends there
    HeaderUpdate,   // a header rewrite failed
    Close,          // the file could not be closed
    DroppedFrames,  // the ring overflowed: frames are missing from the take
};

struct RecorderState {
    std::atomic<bool> writerKeepRunning{false};
    std::thread writerThread;
    RecordFileHandle file;               // open while a take is written; the writer owns it then
    std::string filePath;                // the take being written
    std::string lastSavedPath;           // the last take finished
    std::atomic<uint64_t> dataBytes{0};  // sample bytes that reached the file
    uint64_t headerFramesMark = 0;       // written frames at the last header rewrite
    std::atomic<bool> failed{false};
    RecordFailure failure = RecordFailure::None;  // set once, before failed is raised
    std::string failReason;
};

extern RecorderState recorder;

// False when a take is already running, or when the folder or the file
// cannot be made (then nothing else has changed and RecordingFailReason
// says why). The folder must be given: the application knows the default
// one. A free file name is chosen: an existing file is never replaced.
bool StartRecording(int32_t mode, const std::string& folder, const std::string& name);
// Ends the take (the writer first drains the ring) and closes the file.
// True when the file holds the whole take as recorded, or nothing was
// recording; false when the take was cut short, lacks dropped frames or
// could not be finished.
bool StopRecording();

// The last start failed, or its take was cut short.
bool RecordingFailed();
// What failed, and the system's reason; None and empty when nothing failed.
RecordFailure RecordingFailure();
std::string RecordingFailReason();
