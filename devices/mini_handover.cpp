#include "devices/mini_handover.h"

#include "devices/beat_pump.h"
#include "devices/studio_host.h"
#include "engine/beat_ring.h"

void EnterMiniPlayerAudio() {
    std::string ignored;
    if (DriverHostExists() && IsDriverStreamRunning()) StopDriverStream(ignored);
}

StudioReturn ReturnToStudioAudio(std::string& reason) {
    const BeatPumpPause pause;
    HandBeatRingTo(BeatReader::Studio);  // even from a Mini thread that still runs
    if (!studioHost.asioAvailable || !DriverHostExists() || !IsDriverStreamOpen()) return StudioReturn::NoDriver;
    if (IsDriverStreamRunning() || StartDriverStream(reason)) return StudioReturn::Resumed;
    studioHost.asioAvailable = false;
    return StudioReturn::StartFailed;
}
