#pragma once
// The scripted platform: tests set up what the operating system would
// report, and the product code under test sees exactly that.

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/app_window.h"
#include "platform/audio_endpoints.h"
#include "platform/audio_streams.h"
#include "platform/https_get.h"
#include "platform/message_box.h"
#include "platform/sound_server.h"
#include "platform/studio_driver.h"

struct ScriptedEndpoints {
    std::vector<AudioEndpoint> endpoints;
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
    bool floatRefused = false;    // the endpoint takes only its own format
    StreamFormat endpointFormat;  // that format
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

// One driver as the host reports it; an empty error text means the call succeeds.
struct ScriptedDriver {
    std::string name;
    uint32_t inputs = 2;
    uint32_t outputs = 2;
    bool generic = false;
    bool probeFails = false;  // with probeError, which may be empty
    std::string probeError;
    std::string openError;
    std::string startError;
    int openFailures = -1;  // how many opens fail with openError; -1 every one
    int startFailures = -1;
    uint32_t grantedFrames = 0;  // 0: whatever is asked
};

struct ScriptedDriverHost {
    bool createFails = false;  // with createError, which may be empty
    std::string createError;
    bool listFails = false;
    std::string listError;
    std::vector<ScriptedDriver> drivers;  // the id is the index
    bool exists = false;
    // The stream, as the host holds it.
    bool open = false;
    bool running = false;
    DriverChannels output;
    bool hasInput = false;
    DriverChannels input;
    uint32_t bufferFrames = 0;
    DriverCallback callback = nullptr;
    bool failed = false;  // the running stream's device went away
    std::string failReason;
    // Every stream call in order: "open 2 in 2 128", "start 2", "stop", "close".
    std::vector<std::string> calls;
};

struct ScriptedMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    bool owned;
};

// Programs on the machine and what was started.
struct ScriptedLauncher {
    std::vector<std::string> installed;  // full paths; FindProgramOnPath finds a name by its last part
    std::vector<std::vector<std::string>> launched;
};

// The program's window as the window code left it.
struct ScriptedWindow {
    WindowPlacement placement{{100, 80, 1240, 1010}, false};
    bool onTop = false;
};

// The sound server's own work: a loaded virtual output joins the render
// endpoints; a moved stream is recorded as "index -> output".
struct ScriptedSoundServer {
    std::string loadError;  // non-empty: loading fails with it
    std::vector<PlaybackStream> streams;
    std::vector<std::string> moves;
    std::string description = "scripted-server 1.0";  // empty: it does not answer
};

// The network as HttpGet sees it: each call records its request and takes the
// next queued answer (none left: a failed transfer). While `hold` is set a
// call waits, unless its cancel flag is raised, so a test can see a check in flight.
struct ScriptedHttps {
    std::mutex lock;  // the calls come from the update worker
    std::deque<HttpsResult> answers;
    std::vector<HttpsRequest> requests;
    std::atomic<bool> hold{false};
};

struct ScriptedPlatform {
    ScriptedEndpoints render;
    ScriptedEndpoints capture;
    ScriptedCapture captureStream;
    ScriptedRender renderStream;
    ScriptedDriverHost driverHost;
    std::vector<ScriptedMessage> messages;
    ScriptedLauncher launcher;
    ScriptedWindow window;
    ScriptedSoundServer soundServer;
    ScriptedHttps https;
};

extern ScriptedPlatform scripted;

// Back to an empty machine.
void ResetScriptedPlatform();

// Runs the open stream's callback for `blocks` blocks, as the driver's
// thread would; false when no stream runs.
bool RunScriptedDriverBlocks(int blocks);
