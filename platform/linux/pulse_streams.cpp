// Streams are PulseAudio record and playback streams, each on a connection
// of its own. A loopback captures the monitor source of the sink. Streams
// never move to another device: when theirs goes, they fail and say so.

#include <pulse/pulseaudio.h>

#include <algorithm>

#include "platform/audio_streams.h"
#include "platform/linux/pulse_connection.h"

struct PulseStream {
    PulseConnection connection;
    pa_stream* stream = nullptr;
    uint32_t frameBytes = 0;
    bool holding = false;  // a peeked capture packet not yet dropped
};
struct CaptureStream {
    PulseStream pulse;
};
struct RenderStream {
    PulseStream pulse;
};

namespace {
void SignalStream(pa_stream*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<PulseConnection*>(userdata)->loop, 0);
}

pa_sample_spec ToSampleSpec(const StreamFormat& f) {
    pa_sample_spec sampleSpec{};
    sampleSpec.format = f.sample == SampleFormat::Int16 ? PA_SAMPLE_S16LE : PA_SAMPLE_FLOAT32LE;
    sampleSpec.rate = f.rate;
    sampleSpec.channels = static_cast<uint8_t>(f.channels);
    return sampleSpec;
}

StreamFormat FromSampleSpec(const pa_sample_spec& sampleSpec) {
    StreamFormat f;
    f.rate = sampleSpec.rate;
    f.channels = sampleSpec.channels;
    f.sample = sampleSpec.format == PA_SAMPLE_FLOAT32LE ? SampleFormat::Float32
               : sampleSpec.format == PA_SAMPLE_S16LE   ? SampleFormat::Int16
                                                        : SampleFormat::Other;
    f.bytesPerSample = static_cast<uint32_t>(pa_sample_size(&sampleSpec));
    return f;
}

struct SinkQuery {
    PulseConnection* connection;
    std::string monitor;
    pa_sample_spec sampleSpec{};
    bool found = false;
};

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* query = static_cast<SinkQuery*>(userdata);
    if (eol == 0 && info != nullptr) {
        query->found = true;
        query->monitor = info->monitor_source_name != nullptr ? info->monitor_source_name : "";
        query->sampleSpec = info->sample_spec;
    }
    if (eol != 0) pa_threaded_mainloop_signal(query->connection->loop, 0);
}

// With the loop locked. The sink by name, or the default sink for an empty name.
bool QuerySink(PulseConnection& connection, const std::string& name, SinkQuery& query) {
    query.connection = &connection;
    const char* sink = name.empty() ? "@DEFAULT_SINK@" : name.c_str();
    return WaitPulseOperation(connection, pa_context_get_sink_info_by_name(connection.context, sink, OnSink, &query)) &&
           query.found;
}

struct SourceQuery {
    PulseConnection* connection;
    uint32_t channels = 0;
    bool found = false;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* query = static_cast<SourceQuery*>(userdata);
    if (eol == 0 && info != nullptr) {
        query->found = true;
        query->channels = info->sample_spec.channels;
    }
    if (eol != 0) pa_threaded_mainloop_signal(query->connection->loop, 0);
}

std::string ServerError(PulseConnection& connection) { return pa_strerror(pa_context_errno(connection.context)); }

void Disconnect(PulseStream& s) {
    if (s.stream != nullptr) {
        pa_threaded_mainloop_lock(s.connection.loop);
        pa_stream_set_state_callback(s.stream, nullptr, nullptr);
        pa_stream_disconnect(s.stream);
        pa_stream_unref(s.stream);
        pa_threaded_mainloop_unlock(s.connection.loop);
        s.stream = nullptr;
    }
    DisconnectPulse(s.connection);
}

// With the loop locked: a new stream in `format`, reporting its state changes.
bool CreateStream(PulseStream& s, const char* name, const StreamFormat& format, std::string& reason) {
    const pa_sample_spec sampleSpec = ToSampleSpec(format);
    s.stream = pa_stream_new(s.connection.context, name, &sampleSpec, nullptr);
    if (s.stream == nullptr) {
        reason = "the sound server refused a new stream: " + ServerError(s.connection);
        return false;
    }
    s.frameBytes = static_cast<uint32_t>(pa_frame_size(&sampleSpec));
    pa_stream_set_state_callback(s.stream, SignalStream, &s.connection);
    return true;
}

bool IsReady(PulseStream& s) { return pa_stream_get_state(s.stream) == PA_STREAM_READY; }

constexpr pa_stream_flags_t kStreamFlags =
    static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);

bool ConnectCapture(PulseStream& s, const std::string& id, bool loopback, const StreamFormat& format,
                    uint32_t bufferFrames, std::string& reason) {
    std::string source = id;
    if (loopback) {
        SinkQuery query;
        if (id.empty() || !QuerySink(s.connection, id, query) || query.monitor.empty()) {
            reason = "no output named " + id + " to capture from";
            return false;
        }
        source = query.monitor;
    }
    if (!CreateStream(s, "Sonavela capture", format, reason)) return false;
    pa_buffer_attr attr{};
    attr.maxlength = bufferFrames * s.frameBytes;
    attr.fragsize = std::max(1u, bufferFrames / 10) * s.frameBytes;
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    if (pa_stream_connect_record(s.stream, source.c_str(), &attr, kStreamFlags) < 0 ||
        !WaitPulseStreamReady(s.connection, s.stream)) {
        reason = "cannot capture from " + source + ": " + ServerError(s.connection);
        return false;
    }
    return true;
}

bool ConnectPlayback(PulseStream& s, const std::string& id, StreamFormat& format, bool endpointFormat,
                     uint32_t bufferFrames, std::string& openedId, std::string& reason) {
    SinkQuery query;
    if (!QuerySink(s.connection, id, query)) {
        reason = "no output named " + (id.empty() ? std::string("(default)") : id);
        return false;
    }
    if (endpointFormat) format = FromSampleSpec(query.sampleSpec);
    if (!CreateStream(s, "Sonavela Mini output", format, reason)) return false;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = bufferFrames * s.frameBytes;
    attr.prebuf = attr.minreq = attr.fragsize = static_cast<uint32_t>(-1);
    const char* device = id.empty() ? nullptr : id.c_str();
    if (pa_stream_connect_playback(s.stream, device, &attr, kStreamFlags, nullptr, nullptr) < 0 ||
        !WaitPulseStreamReady(s.connection, s.stream)) {
        reason = "cannot play on " + (id.empty() ? std::string("the default output") : id) + ": " +
                 ServerError(s.connection);
        return false;
    }
    const char* opened = pa_stream_get_device_name(s.stream);
    openedId = opened != nullptr ? opened : id;
    return true;
}

template <typename Stream, typename Connect>
Stream* Open(std::string& reason, Connect connect) {
    auto* s = new Stream;
    bool ok = ConnectPulse(s->pulse.connection, "Sonavela Studio", reason);
    if (ok) {
        pa_threaded_mainloop_lock(s->pulse.connection.loop);
        ok = connect(s->pulse);
        pa_threaded_mainloop_unlock(s->pulse.connection.loop);
    }
    if (!ok) {
        Disconnect(s->pulse);
        delete s;
        return nullptr;
    }
    return s;
}

struct Locked {
    explicit Locked(PulseStream& s) : loop(s.connection.loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    pa_threaded_mainloop* loop;
};
}  // namespace

CaptureStream* OpenCaptureStream(const std::string& endpointId, bool loopback, const StreamFormat& format,
                                 uint32_t bufferFrames, std::string& reason) {
    return Open<CaptureStream>(
        reason, [&](PulseStream& s) { return ConnectCapture(s, endpointId, loopback, format, bufferFrames, reason); });
}

bool PeekCapturePacket(CaptureStream* stream, const void*& data, uint32_t& frames) {
    PulseStream& s = stream->pulse;
    data = nullptr;
    frames = 0;
    Locked lock(s);
    if (s.holding || !IsReady(s)) return IsReady(s);
    size_t bytes = 0;
    if (pa_stream_peek(s.stream, &data, &bytes) < 0) return false;
    if (bytes == 0) return true;
    s.holding = true;
    frames = static_cast<uint32_t>(bytes / s.frameBytes);
    return true;
}

void ReleaseCapturePacket(CaptureStream* stream) {
    PulseStream& s = stream->pulse;
    Locked lock(s);
    if (s.holding && IsReady(s)) pa_stream_drop(s.stream);
    s.holding = false;
}

void CloseCaptureStream(CaptureStream* stream) {
    if (stream == nullptr) return;
    Disconnect(stream->pulse);
    delete stream;
}

RenderStream* OpenRenderStream(const std::string& endpointId, StreamFormat& format, bool endpointFormat,
                               uint32_t bufferFrames, std::string& openedId, std::string& reason) {
    return Open<RenderStream>(reason, [&](PulseStream& s) {
        return ConnectPlayback(s, endpointId, format, endpointFormat, bufferFrames, openedId, reason);
    });
}

uint32_t RenderStreamBufferFrames(RenderStream* stream) {
    PulseStream& s = stream->pulse;
    Locked lock(s);
    // The server keeps part of the asked latency for the sink itself.
    const pa_buffer_attr* attr = IsReady(s) ? pa_stream_get_buffer_attr(s.stream) : nullptr;
    return attr != nullptr ? attr->tlength / s.frameBytes : 0;
}

bool RenderStreamSpace(RenderStream* stream, uint32_t& frames) {
    PulseStream& s = stream->pulse;
    frames = 0;
    Locked lock(s);
    if (!IsReady(s)) return false;
    const size_t bytes = pa_stream_writable_size(s.stream);
    if (bytes == static_cast<size_t>(-1)) return false;
    frames = static_cast<uint32_t>(bytes / s.frameBytes);
    return true;
}

bool WriteRenderStream(RenderStream* stream, const void* data, uint32_t frames) {
    PulseStream& s = stream->pulse;
    Locked lock(s);
    return IsReady(s) &&
           pa_stream_write(s.stream, data, size_t{frames} * s.frameBytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
}

void CloseRenderStream(RenderStream* stream) {
    if (stream == nullptr) return;
    Disconnect(stream->pulse);
    delete stream;
}

bool CaptureEndpointChannels(const std::string& endpointId, uint32_t& channels, std::string& reason) {
    channels = 0;
    PulseConnection connection;
    if (endpointId.empty() || !ConnectPulse(connection, "Sonavela Studio", reason)) return false;
    SourceQuery query{&connection};
    pa_threaded_mainloop_lock(connection.loop);
    const bool asked = WaitPulseOperation(
        connection, pa_context_get_source_info_by_name(connection.context, endpointId.c_str(), OnSource, &query));
    pa_threaded_mainloop_unlock(connection.loop);
    DisconnectPulse(connection);
    if (!asked || !query.found) {
        reason = "no input named " + endpointId;
        return false;
    }
    channels = query.channels;
    return true;
}
