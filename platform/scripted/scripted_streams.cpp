// Streams over the scripted state: capture packets the test queued, and a
// render stream that takes what the test allows and keeps every byte.

#include <algorithm>

#include "platform/scripted/scripted_platform.h"

struct CaptureStream {
    ScriptedPacket current;
    bool holding = false;
};
struct RenderStream {
    uint32_t frameBytes = 0;
    uint32_t bufferFrames = 0;
};

CaptureStream* OpenCaptureStream(const std::string& endpointId, bool loopback, const StreamFormat& format, uint32_t,
                                 std::string& reason) {
    ScriptedCapture& c = scripted.captureStream;
    ++c.opens;
    c.openedFormat = format;
    c.openedId = endpointId;
    c.openedLoopback = loopback;
    if (c.openFails) {
        reason = "scripted: the capture cannot open";
        return nullptr;
    }
    c.open = true;
    c.lost = false;
    return new CaptureStream;
}

bool PeekCapturePacket(CaptureStream* stream, const void*& data, uint32_t& frames) {
    ScriptedCapture& c = scripted.captureStream;
    data = nullptr;
    frames = 0;
    if (c.lost) return false;
    if (!stream->holding) {
        const std::lock_guard<std::mutex> lock(c.packetsLock);
        if (c.packets.empty()) return true;
        stream->current = std::move(c.packets.front());
        c.packets.pop_front();
        stream->holding = true;
    }
    frames = static_cast<uint32_t>(stream->current.samples.size() / std::max(1u, c.openedFormat.channels));
    if (!stream->current.silent) data = stream->current.samples.data();
    return true;
}

void ReleaseCapturePacket(CaptureStream* stream) {
    ++scripted.captureStream.releases;
    stream->holding = false;
}

bool CaptureEndpointChannels(const std::string& endpointId, uint32_t& channels, std::string& reason) {
    for (const AudioEndpoint& e : scripted.capture.endpoints) {
        if (e.id == endpointId) {
            channels = scripted.captureStream.endpointChannels;
            return true;
        }
    }
    reason = "scripted: no input named " + endpointId;
    return false;
}

void CloseCaptureStream(CaptureStream* stream) {
    if (stream == nullptr) return;
    scripted.captureStream.open = false;
    delete stream;
}

RenderStream* OpenRenderStream(const std::string& endpointId, StreamFormat& format, bool endpointFormat,
                               uint32_t bufferFrames, std::string& openedId, std::string& reason) {
    ScriptedRender& r = scripted.renderStream;
    ++r.opens;
    if (r.openFails || (r.floatRefused && !endpointFormat)) {
        reason = "scripted: the output refuses the stream";
        return nullptr;
    }
    if (endpointFormat) format = r.endpointFormat;
    r.endpointFormatUsed = endpointFormat;
    r.openedId = openedId = endpointId;
    r.open = true;
    auto* stream = new RenderStream;
    stream->frameBytes = BytesPerFrame(format);
    stream->bufferFrames = bufferFrames;
    return stream;
}

uint32_t RenderStreamBufferFrames(RenderStream* stream) { return stream->bufferFrames; }

bool RenderStreamSpace(RenderStream*, uint32_t& frames) {
    frames = scripted.renderStream.spacePerCall.load();
    return !scripted.renderStream.lost.load();
}

bool WriteRenderStream(RenderStream* stream, const void* data, uint32_t frames) {
    ScriptedRender& r = scripted.renderStream;
    if (r.lost.load()) return false;
    const std::lock_guard<std::mutex> lock(r.writtenLock);
    const auto* bytes = static_cast<const uint8_t*>(data);
    r.written.insert(r.written.end(), bytes, bytes + size_t{frames} * stream->frameBytes);
    r.framesWritten += frames;
    return true;
}

void CloseRenderStream(RenderStream* stream) {
    if (stream == nullptr) return;
    scripted.renderStream.open = false;
    delete stream;
}
