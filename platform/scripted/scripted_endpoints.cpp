#include "platform/scripted/scripted_platform.h"

ScriptedPlatform scripted;

void ResetScriptedPlatform() {
    scripted.render = ScriptedEndpoints{};
    scripted.capture = ScriptedEndpoints{};
    scripted.driverHost = ScriptedDriverHost{};
    scripted.messages.clear();
    scripted.launcher = ScriptedLauncher{};
    scripted.window = ScriptedWindow{};
    scripted.soundServer = ScriptedSoundServer{};
    {
        std::lock_guard<std::mutex> guard(scripted.https.lock);
        scripted.https.answers.clear();
        scripted.https.requests.clear();
    }
    scripted.https.hold = false;
    ScriptedCapture& c = scripted.captureStream;
    c.openFails = false;
    c.endpointChannels = 2;
    c.openedFormat = StreamFormat{};
    c.opens = 0;
    c.openedId.clear();
    c.openedLoopback = false;
    c.open = false;
    c.lost = false;
    c.releases = 0;
    {
        const std::lock_guard<std::mutex> lock(c.packetsLock);
        c.packets.clear();
    }
    ScriptedRender& r = scripted.renderStream;
    r.openFails = r.floatRefused = r.endpointFormatUsed = false;
    r.endpointFormat = StreamFormat{};
    r.opens = 0;
    r.openedId.clear();
    r.open = false;
    r.spacePerCall = 0;
    r.lost = false;
    r.framesWritten = 0;
    const std::lock_guard<std::mutex> lock(r.writtenLock);
    r.written.clear();
}

bool ListAudioEndpoints(EndpointFlow flow, std::vector<AudioEndpoint>& endpoints, std::string& defaultId,
                        std::string& reason) {
    ScriptedEndpoints& side = flow == EndpointFlow::Render ? scripted.render : scripted.capture;
    ++side.listCalls;
    endpoints.clear();
    defaultId.clear();
    if (!side.reachable) {
        reason = side.failure;
        return false;
    }
    endpoints = side.endpoints;
    defaultId = side.defaultId;
    return true;
}
