// The Studio stream while the Mini Player plays: stopped but kept open, so
// coming back to Studio is a start, not a new driver bring-up.

#include "devices/studio_host.h"
#include "engine/beat_ring.h"
#include "platform/message_box.h"

void EnterMiniPlayerAudio() {
    std::string ignored;
    if (DriverHostExists() && IsDriverStreamRunning()) StopDriverStream(ignored);
}

void ReturnToStudioAudio() {
    HandBeatRingTo(BeatReader::Studio);  // even from a Mini thread that still runs
    if (!studioHost.asioAvailable || !DriverHostExists() || !IsDriverStreamOpen()) {
        ShowMessageBox("Khong phat hien Soundcard hoac driver ASIO nao.\n\nStudio Audio se san sang khi ban cai dat "
                       "driver ASIO cho soundcard.",
                       "Sonavela - Main Shell", MessageIcon::Information, true);
        return;
    }
    std::string reason;
    if (IsDriverStreamRunning() || StartDriverStream(reason)) return;
    studioHost.asioAvailable = false;
    ShowMessageBox("ASIO chua san sang, nhung Sonavela van giu Main Shell.\n\n" + reason,
                   "Sonavela - Studio Audio chua san sang", MessageIcon::Information, true);
}
