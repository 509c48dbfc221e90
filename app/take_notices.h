#pragma once
// What the user is told about takes: one that ended without all its audio,
// and those a crash cut short, repaired at start-up.

#include <cstdint>

// Ends the take; when it is not whole (a failed write, dropped frames) the
// user is told with a notice. True when the take was saved whole.
bool StopTake();
// At start-up: repairs the takes of the recordings folder that a crash cut
// short and tells the user which were recovered and how long each is now.
// Returns how many were recovered.
int32_t RecoverCutTakes();
