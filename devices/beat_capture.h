#pragma once
// The karaoke beat, captured from what a browser plays into the virtual
// cable's output, high-passed at 40 Hz, key-shifted by Tone Control and
// queued in the beat ring. Pumped by the beat pump's thread (beat_pump.h):
// other threads read this block's counters under a BeatPumpPause.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/biquad.h"

struct CaptureStream;

struct BeatCapture {
    CaptureStream* stream = nullptr;  // the loopback of the cable's output
    std::string cableId;
    std::atomic<bool> beatCaptureReady{false};  // the window reads it every frame
    std::string openError;                      // why the last open failed, for a person to read
    std::vector<float> stereoScratch;           // 48000 stereo frames, allocated once
    Biquad beatHighPassL;
    Biquad beatHighPassR;
    // What the pump has seen, for diagnostics and the routing check.
    uint64_t packets = 0;
    uint64_t framesCaptured = 0;
    uint64_t silentPackets = 0;
    std::atomic<uint64_t> samplesTrimmed{0};  // the diagnostic report reads it on the window's thread
    uint64_t streamsLost = 0;
    // How far apart the pumps come (the recent longest gap, in stereo
    // samples): the ring's cushion covers it, so a faster pump plays sooner.
    std::chrono::steady_clock::time_point lastPump{};
    double pumpGapSamples = 0.0;
};

extern BeatCapture beatCapture;

// Start-up: the scratch buffer, the filters and the Tone Control shifter.
void InitBeatCapture();
// Whether an output is the virtual cable the beat is captured from.
bool IsCableName(const std::string& name);
// The first output whose name contains "CABLE"; prints "[OK] Da tim thay: <name>".
bool FindCableEndpoint(std::string& id, std::string& name, std::string& reason);
// (Re)opens the capture on the cable; stores and returns beatCaptureReady.
// The ring fills to its target again before a reader takes the new beat.
// Both pause the beat pump while they run.
bool OpenBeatCapture();
void CloseBeatCapture();
// Moves every packet that is ready through the filter and shifter into the
// beat ring. A lost stream is closed and beatCaptureReady cleared.
void PumpBeat();
// One capture packet of stereo frames through the filter and shifter into
// the ring: what PumpBeat does with each packet it takes.
void PumpBeatPacket(const float* samples, uint32_t frames);
