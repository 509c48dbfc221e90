#include "platform/scripted/scripted_platform.h"
#include "platform/sound_server.h"

bool LoadVirtualOutput(const std::string& id, const std::string& name, std::string& reason) {
    reason = scripted.soundServer.loadError;
    if (!reason.empty()) return false;
    scripted.render.endpoints.push_back({id, name});
    return true;
}

bool ListPlaybackStreams(std::vector<PlaybackStream>& streams, std::string&) {
    streams = scripted.soundServer.streams;
    return true;
}

bool MovePlaybackStream(uint32_t index, const std::string& outputId, std::string&) {
    scripted.soundServer.moves.push_back(std::to_string(index) + " -> " + outputId);
    return true;
}

bool DescribeSoundServer(std::string& description, std::string& reason) {
    description = scripted.soundServer.description;
    reason = description.empty() ? "no sound server" : "";
    return !description.empty();
}
