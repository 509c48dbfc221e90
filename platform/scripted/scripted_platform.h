#pragma once
// The scripted platform: tests set up what the operating system would
// report, and the product code under test sees exactly that.

#include <string>
#include <vector>

#include "platform/audio_endpoints.h"

struct ScriptedEndpoints {
    std::vector<PlatformEndpoint> endpoints;
    std::string defaultId;
    bool reachable = true;
    std::string failure = "scripted: the audio system is not reachable";
    int listCalls = 0;
};

struct ScriptedPlatform {
    ScriptedEndpoints render;
    ScriptedEndpoints capture;
};

extern ScriptedPlatform scripted;

// Back to an empty machine.
void ResetScriptedPlatform();
