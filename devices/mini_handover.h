#pragma once
// The Studio stream while the Mini Player plays: stopped but kept open, so
// coming back to Studio is a start, not a new driver bring-up.

#include <string>

// The Mini Player takes over: a running stream is stopped (kept open).
void EnterMiniPlayerAudio();

enum class StudioReturn { Resumed, NoDriver, StartFailed };
// Back to Studio: the ring is handed back (the beat pump paused meanwhile)
// and the stream starts again; a failed start (`reason` says why) leaves
// Studio audio off.
StudioReturn ReturnToStudioAudio(std::string& reason);
