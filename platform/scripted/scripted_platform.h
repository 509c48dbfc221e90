#pragma once
// The scripted platform: tests set up what the operating system would
// report, and the product code under test sees exactly that.

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio_endpoints.h"
#include "platform/audio_streams.h"

struct ScriptedEndpoints {
    std::vector<PlatformEndpoint> endpoints;
    std::string defaultId;
    bool reachable = true;
    std::string failure = "scripted: the audio system is not reachable";
    int listCalls = 0;
};

// One capture packet: float frames in the opened channel count, or a gap reported as silence.
struct ScriptedPacket {
    std::vector<float> samples;
    bool silent = false;
};

struct ScriptedCapture {
    bool openFails = false;
    uint32_t endpointChannels = 2;  // of every capture endpoint
    StreamFormat openedFormat;
    int opens = 0;
    std::string openedId;  // the endpoint of the last open
    bool openedLoopback = false;
    bool open = false;
    std::deque<ScriptedPacket> packets;
    std::atomic<bool> lost{false};  // every call fails from now on
    int releases = 0;
    // Packets are taken by a capture thread in the bridge tests.
    std::mutex packetsLock;
};

struct ScriptedRender {
    bool openFails = false;
    bool floatRefused = false;     // the endpoint takes only its own format
    StreamFormat endpointFormat;   // that format
    int opens = 0;
    std::string openedId;
    bool endpointFormatUsed = false;
    std::atomic<bool> open{false};
    std::atomic<uint32_t> spacePerCall{0};
    std::atomic<bool> lost{false};
    std::atomic<uint64_t> framesWritten{0};
    std::mutex writtenLock;
    std::vector<uint8_t> written;  // every byte written, pre-roll included
};

struct ScriptedPlatform {
    ScriptedEndpoints render;
    ScriptedEndpoints capture;
    ScriptedCapture captureStream;
    ScriptedRender renderStream;
};

extern ScriptedPlatform scripted;

// Back to an empty machine.
void ResetScriptedPlatform();
