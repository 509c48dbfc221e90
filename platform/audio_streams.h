#pragma once
// Shared-mode audio streams on the system's endpoints: a capture stream
// (from an input, or the loopback of what plays into an output) read in
// packets, and a render stream written as space frees up. A stream is used
// by one thread at a time; every call reports a lost stream (device gone,
// server gone) as false, never by blocking.

#include <cstdint>
#include <string>

enum class SampleFormat { Float32, Int16, Other };

struct StreamFormat {
    uint32_t rate = 48000;
    uint32_t channels = 2;
    SampleFormat sample = SampleFormat::Float32;
    uint32_t bytesPerSample = 4;
};

inline uint32_t BytesPerFrame(const StreamFormat& f) { return f.channels * f.bytesPerSample; }

struct CaptureStream;
struct RenderStream;

// Opens and starts a capture in exactly `format`, the system converting.
// With loopback, endpointId names a render endpoint whose output is captured.
CaptureStream* OpenCaptureStream(const std::string& endpointId, bool loopback, const StreamFormat& format,
                                 uint32_t bufferFrames, std::string& reason);
// The oldest packet not yet released, frames 0 when none is ready; data is
// null for a gap the system reports as silence. False when the stream is lost.
bool PeekCapturePacket(CaptureStream* stream, const void*& data, uint32_t& frames);
void ReleaseCapturePacket(CaptureStream* stream);
void CloseCaptureStream(CaptureStream* stream);
// The channel count of a capture endpoint's own format; false when it is not there.
bool CaptureEndpointChannels(const std::string& endpointId, uint32_t& channels, std::string& reason);

// Opens and starts playback on endpointId (empty: the system default) with
// a buffer of bufferFrames. With endpointFormat the stream takes the
// endpoint's own format instead of `format`, and `format` is set to it.
// openedId is the endpoint actually opened.
RenderStream* OpenRenderStream(const std::string& endpointId, StreamFormat& format, bool endpointFormat,
                               uint32_t bufferFrames, std::string& openedId, std::string& reason);
// The buffer the system granted, in frames: what the stream holds when full,
// which may be less than was asked for.
uint32_t RenderStreamBufferFrames(RenderStream* stream);
// Frames the stream takes now without blocking.
bool RenderStreamSpace(RenderStream* stream, uint32_t& frames);
bool WriteRenderStream(RenderStream* stream, const void* data, uint32_t frames);
void CloseRenderStream(RenderStream* stream);
