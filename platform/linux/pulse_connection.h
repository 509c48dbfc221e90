#pragma once
// A short-lived connection to the PulseAudio server on a threaded main loop.
// Every wait is bounded, so a hung or vanished server cannot hang the caller.

#include <pulse/pulseaudio.h>

#include <string>

struct PulseConnection {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
};

bool ConnectPulse(PulseConnection& connection, const char* clientName, std::string& reason);
void DisconnectPulse(PulseConnection& connection);

// Waits, with the loop locked, until the operation ends; false if it did not
// complete (server gone, or the time limit passed). Consumes the operation.
bool WaitPulseOperation(PulseConnection& connection, pa_operation* operation);

// Waits, with the loop locked, until the stream is ready; false when it
// failed or the time limit passed. The stream's state callback must signal the loop.
bool WaitPulseStreamReady(PulseConnection& connection, pa_stream* stream);
