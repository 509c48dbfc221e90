// The virtual cable and the browser's routing done on the PulseAudio server
// (PipeWire's included) through libpulse: no shell, no pactl.

#include <pulse/pulseaudio.h>

#include "platform/linux/pulse_connection.h"
#include "platform/sound_server.h"

namespace {
struct Reply {
    PulseConnection* connection;
    uint32_t index = PA_INVALID_INDEX;
    bool success = false;
    std::vector<PlaybackStream>* streams = nullptr;
    std::string* server = nullptr;
};

void OnIndex(pa_context*, uint32_t index, void* userdata) {
    auto* reply = static_cast<Reply*>(userdata);
    reply->index = index;
    pa_threaded_mainloop_signal(reply->connection->loop, 0);
}

void OnSuccess(pa_context*, int success, void* userdata) {
    auto* reply = static_cast<Reply*>(userdata);
    reply->success = success != 0;
    pa_threaded_mainloop_signal(reply->connection->loop, 0);
}

std::string Property(const pa_proplist* list, const char* key) {
    const char* value = list != nullptr ? pa_proplist_gets(list, key) : nullptr;
    return value != nullptr ? value : "";
}

void OnSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
    auto* reply = static_cast<Reply*>(userdata);
    if (eol != 0 || info == nullptr) {
        pa_threaded_mainloop_signal(reply->connection->loop, 0);
        return;
    }
    reply->streams->push_back({info->index, Property(info->proplist, PA_PROP_APPLICATION_NAME),
                               Property(info->proplist, PA_PROP_APPLICATION_PROCESS_BINARY)});
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* reply = static_cast<Reply*>(userdata);
    if (info != nullptr) {
        *reply->server = std::string(info->server_name != nullptr ? info->server_name : "?") + " " +
                         (info->server_version != nullptr ? info->server_version : "?");
    }
    pa_threaded_mainloop_signal(reply->connection->loop, 0);
}

// Runs one request on a fresh connection; the server's own words on failure.
template <typename Start>
bool Ask(Reply& reply, std::string& reason, Start start) {
    PulseConnection connection;
    if (!ConnectPulse(connection, "Sonavela Studio", reason)) return false;
    reply.connection = &connection;
    pa_threaded_mainloop_lock(connection.loop);
    const bool answered = WaitPulseOperation(connection, start(connection.context));
    if (!answered)
        reason = std::string("the sound server did not answer: ") + pa_strerror(pa_context_errno(connection.context));
    const int error = pa_context_errno(connection.context);
    pa_threaded_mainloop_unlock(connection.loop);
    DisconnectPulse(connection);
    if (answered && error != PA_OK) reason = pa_strerror(error);
    return answered;
}
}  // namespace

bool LoadVirtualOutput(const std::string& id, const std::string& name, std::string& reason) {
    // The description goes in single quotes inside the double-quoted property list.
    const std::string arguments =
        "sink_name=" + id + " rate=48000 channels=2 sink_properties=\"device.description='" + name + "'\"";
    Reply reply{nullptr};
    if (!Ask(reply, reason, [&](pa_context* c) {
            return pa_context_load_module(c, "module-null-sink", arguments.c_str(), OnIndex, &reply);
        })) {
        return false;
    }
    if (reply.index != PA_INVALID_INDEX) return true;
    reason = "the sound server refused module-null-sink (" + reason + ")";
    return false;
}

bool ListPlaybackStreams(std::vector<PlaybackStream>& streams, std::string& reason) {
    streams.clear();
    Reply reply{nullptr};
    reply.streams = &streams;
    return Ask(reply, reason,
               [&](pa_context* c) { return pa_context_get_sink_input_info_list(c, OnSinkInput, &reply); });
}

bool MovePlaybackStream(uint32_t index, const std::string& outputId, std::string& reason) {
    Reply reply{nullptr};
    if (!Ask(reply, reason, [&](pa_context* c) {
            return pa_context_move_sink_input_by_name(c, index, outputId.c_str(), OnSuccess, &reply);
        })) {
        return false;
    }
    if (!reply.success)
        reason = "the sound server would not move stream " + std::to_string(index) + " (" + reason + ")";
    return reply.success;
}

bool DescribeSoundServer(std::string& description, std::string& reason) {
    description.clear();
    Reply reply{nullptr};
    reply.server = &description;
    return Ask(reply, reason, [&](pa_context* c) { return pa_context_get_server_info(c, OnServerInfo, &reply); }) &&
           !description.empty();
}
