#pragma once
// The changes of the running Studio stream the window asks for: Studio Mode,
// buffer size, driver. A failed change puts back what ran before; the
// outcome says what happened, and the application keeps and tells it.

#include <cstdint>
#include <string>

struct StudioSwitch {
    bool done = false;      // the change is in effect
    bool restored = false;  // it failed and what ran before was put back
    bool silent = false;    // it failed and nothing runs now, not even what ran before
    std::string reason;         // why the change failed
    std::string restoreReason;  // why putting back what ran before failed too
};

// Whether the Studio stream can be switched now: it exists and the Mini
// Player is not playing.
bool StudioStreamInReach();
// Turns the bridge source off, publishes the mode and, when the stream is in
// reach, reopens it for the mode (inputs only in VOCAL + BEAT).
StudioSwitch SwitchStudioMode(int32_t mode);
// Reopens the stream with the new size; studioBufferFrames then holds what
// the driver granted, or the fallback of 128 after a failure.
StudioSwitch ChangeBufferFrames(uint32_t frames);
// Moves the stream to a listed driver; `unknown` when the id is not listed.
StudioSwitch SwitchDriver(uint32_t deviceId, bool& unknown);
// The running stream's device went away: the stream is closed so nothing
// waits on it, and the reason says why. False while it runs well.
bool CloseLostStudioStream(std::string& reason);
