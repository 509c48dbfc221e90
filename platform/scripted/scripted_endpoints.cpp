#include "platform/scripted/scripted_platform.h"

ScriptedPlatform scripted;

void ResetScriptedPlatform() { scripted = ScriptedPlatform{}; }

bool ListPlatformEndpoints(EndpointFlow flow, std::vector<PlatformEndpoint>& endpoints, std::string& defaultId,
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
