#include "platform/linux/pulse_connection.h"

#include <sys/time.h>

namespace {
constexpr pa_usec_t kTimeoutUsec = 3 * PA_USEC_PER_SEC;

struct Deadline {
    PulseConnection* connection;
    bool passed = false;
};

void SignalLoop(pa_context*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<PulseConnection*>(userdata)->loop, 0);
}

void DeadlinePassed(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->passed = true;
    pa_threaded_mainloop_signal(deadline->connection->loop, 0);
}

// Arms a timer on the loop that wakes the waiter when the time is up.
pa_time_event* ArmDeadline(Deadline& deadline) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(deadline.connection->loop);
    struct timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), kTimeoutUsec);
    return api->time_new(api, &tv, DeadlinePassed, &deadline);
}

void DisarmDeadline(PulseConnection& connection, pa_time_event* event) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(connection.loop);
    api->time_free(event);
}

std::string ServerHint() {
    return " (is a PulseAudio or PipeWire sound server running for this user? `pactl info` tells)";
}
}  // namespace

bool ConnectPulse(PulseConnection& connection, const char* clientName, std::string& reason) {
    connection.loop = pa_threaded_mainloop_new();
    if (connection.loop == nullptr) {
        reason = "cannot create the PulseAudio main loop";
        return false;
    }
    connection.context = pa_context_new(pa_threaded_mainloop_get_api(connection.loop), clientName);
    if (connection.context == nullptr) {
        reason = "cannot create a PulseAudio context";
        DisconnectPulse(connection);
        return false;
    }
    pa_context_set_state_callback(connection.context, SignalLoop, &connection);
    if (pa_context_connect(connection.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(connection.loop) < 0) {
        reason = std::string("cannot connect to the sound server: ") + pa_strerror(pa_context_errno(connection.context)) +
                 ServerHint();
        DisconnectPulse(connection);
        return false;
    }

    pa_threaded_mainloop_lock(connection.loop);
    Deadline deadline{&connection};
    pa_time_event* timer = ArmDeadline(deadline);
    pa_context_state_t state;
    while ((state = pa_context_get_state(connection.context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) &&
           !deadline.passed) {
        pa_threaded_mainloop_wait(connection.loop);
    }
    DisarmDeadline(connection, timer);
    pa_threaded_mainloop_unlock(connection.loop);
    if (state != PA_CONTEXT_READY) {
        reason = deadline.passed ? "the sound server did not answer within 3 s" + ServerHint()
                                 : std::string("cannot connect to the sound server: ") +
                                       pa_strerror(pa_context_errno(connection.context)) + ServerHint();
        DisconnectPulse(connection);
        return false;
    }
    return true;
}

void DisconnectPulse(PulseConnection& connection) {
    if (connection.loop != nullptr) pa_threaded_mainloop_stop(connection.loop);
    if (connection.context != nullptr) {
        pa_context_disconnect(connection.context);
        pa_context_unref(connection.context);
    }
    if (connection.loop != nullptr) pa_threaded_mainloop_free(connection.loop);
    connection = PulseConnection{};
}

bool WaitPulseOperation(PulseConnection& connection, pa_operation* operation) {
    if (operation == nullptr) return false;
    Deadline deadline{&connection};
    pa_time_event* timer = ArmDeadline(deadline);
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && !deadline.passed &&
           PA_CONTEXT_IS_GOOD(pa_context_get_state(connection.context))) {
        pa_threaded_mainloop_wait(connection.loop);
    }
    DisarmDeadline(connection, timer);
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    if (!done) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return done;
}

bool WaitPulseStreamReady(PulseConnection& connection, pa_stream* stream) {
    Deadline deadline{&connection};
    pa_time_event* timer = ArmDeadline(deadline);
    pa_stream_state_t state;
    while ((state = pa_stream_get_state(stream)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(state) && !deadline.passed) {
        pa_threaded_mainloop_wait(connection.loop);
    }
    DisarmDeadline(connection, timer);
    return state == PA_STREAM_READY;
}
