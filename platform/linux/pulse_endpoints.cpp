// Endpoints are the PulseAudio server's sinks (render) and sources
// (capture, monitors included); id = name, friendly name = description.

#include <pulse/pulseaudio.h>

#include "platform/audio_endpoints.h"
#include "platform/linux/pulse_connection.h"

namespace {
struct ListRequest {
    PulseConnection* connection;
    std::vector<AudioEndpoint>* endpoints;
    std::string* defaultId;
    EndpointFlow flow;
};

template <typename Info>
void OnEndpoint(pa_context*, const Info* info, int eol, void* userdata) {
    auto* request = static_cast<ListRequest*>(userdata);
    if (eol != 0 || info == nullptr) {
        pa_threaded_mainloop_signal(request->connection->loop, 0);
        return;
    }
    request->endpoints->push_back({info->name, info->description != nullptr ? info->description : ""});
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* request = static_cast<ListRequest*>(userdata);
    if (info != nullptr) {
        const char* name = request->flow == EndpointFlow::Render ? info->default_sink_name : info->default_source_name;
        *request->defaultId = name != nullptr ? name : "";
    }
    pa_threaded_mainloop_signal(request->connection->loop, 0);
}

pa_operation* StartListing(ListRequest& request) {
    pa_context* context = request.connection->context;
    if (request.flow == EndpointFlow::Render) {
        return pa_context_get_sink_info_list(context, OnEndpoint<pa_sink_info>, &request);
    }
    return pa_context_get_source_info_list(context, OnEndpoint<pa_source_info>, &request);
}
}  // namespace

bool ListAudioEndpoints(EndpointFlow flow, std::vector<AudioEndpoint>& endpoints, std::string& defaultId,
                           std::string& reason) {
    endpoints.clear();
    defaultId.clear();
    PulseConnection connection;
    if (!ConnectPulse(connection, "Sonavela Studio", reason)) return false;

    ListRequest request{&connection, &endpoints, &defaultId, flow};
    pa_threaded_mainloop_lock(connection.loop);
    const bool listed = WaitPulseOperation(connection, StartListing(request)) &&
                        WaitPulseOperation(connection, pa_context_get_server_info(connection.context, OnServerInfo, &request));
    pa_threaded_mainloop_unlock(connection.loop);
    DisconnectPulse(connection);
    if (!listed) reason = "the sound server stopped answering while listing its devices";
    return listed;
}
