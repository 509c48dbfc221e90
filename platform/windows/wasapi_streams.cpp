// Streams are shared-mode WASAPI clients, polled rather than woken by an
// event. The system converts to the format asked for; where it will not
// (loopback on some systems refuses the conversion flags), a capture runs in
// the endpoint's mix format and is converted here, so callers always get
// what they asked for. The rate goes through the system's own resampler
// (Media Foundation's resampler DSP): SoundTouch, linked for the key shift,
// raises a rate only through its time-stretcher, whose output comes in
// bursts of a whole sequence and is not transparent even at tempo 1.

#include <windows.h>
// After windows.h, which they need; Media Foundation's before ksmedia.h,
// which otherwise declares stand-ins for types they bring.
#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>
#include <wmcodecdsp.h>
// Last, for the reason above.
#include <audioclient.h>
#include <ksmedia.h>
#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio_endpoints.h"
#include "platform/audio_streams.h"
#include "platform/windows/mmdevice.h"

namespace {
constexpr DWORD kConvertFlags = AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;

// How the samples of a mix format are laid out, for the conversion to float.
struct MixLayout {
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t containerBytes = 0;
    bool isFloat = false;
};
}  // namespace

struct CaptureStream {
    ComPtr<IAudioClient> client;
    ComPtr<IAudioCaptureClient> capture;
    bool holding = false;
    UINT32 heldFrames = 0;
    // Set when the system would not convert: packets are copied, converted and released at once.
    bool converting = false;
    MixLayout mix;
    uint32_t channels = 0;
    // Only when the rates differ; one input and one output sample, reused.
    ComPtr<IMFTransform> resampler;
    ComPtr<IMFSample> resamplerIn;
    ComPtr<IMFSample> resamplerOut;
    double ratio = 1.0;  // output frames per input frame
    std::vector<float> staged;
    std::vector<float> converted;
};

struct RenderStream {
    ComPtr<IAudioClient> client;
    ComPtr<IAudioRenderClient> render;
    UINT32 bufferFrames = 0;
    uint32_t frameBytes = 0;
    bool started = false;
};

namespace {
REFERENCE_TIME Duration(uint32_t frames, uint32_t rate) {
    return static_cast<REFERENCE_TIME>(frames) * 10000000 / static_cast<REFERENCE_TIME>(rate == 0 ? 48000 : rate);
}

bool IsSubFormat(const WAVEFORMATEX& w, const GUID& subFormat) {
    return w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= 22 &&
           reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(w).SubFormat == subFormat;
}

bool IsFloatFormat(const WAVEFORMATEX& w) {
    return w.wBitsPerSample == 32 &&
           (w.wFormatTag == WAVE_FORMAT_IEEE_FLOAT || IsSubFormat(w, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT));
}

bool IsPcmFormat(const WAVEFORMATEX& w) {
    return w.wFormatTag == WAVE_FORMAT_PCM || IsSubFormat(w, KSDATAFORMAT_SUBTYPE_PCM);
}

WAVEFORMATEXTENSIBLE ToWaveFormat(const StreamFormat& f) {
    const auto bits = static_cast<WORD>(f.sample == SampleFormat::Int16 ? 16 : 32);
    WAVEFORMATEXTENSIBLE w{};
    w.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    w.Format.nChannels = static_cast<WORD>(f.channels);
    w.Format.nSamplesPerSec = f.rate;
    w.Format.wBitsPerSample = bits;
    w.Format.nBlockAlign = static_cast<WORD>(f.channels * bits / 8);
    w.Format.nAvgBytesPerSec = f.rate * w.Format.nBlockAlign;
    w.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    w.Samples.wValidBitsPerSample = bits;
    w.dwChannelMask = f.channels == 1   ? SPEAKER_FRONT_CENTER
                      : f.channels == 2 ? SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT
                                        : 0;
    w.SubFormat = f.sample == SampleFormat::Int16 ? KSDATAFORMAT_SUBTYPE_PCM : KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
    return w;
}

StreamFormat FromWaveFormat(const WAVEFORMATEX& w) {
    StreamFormat f;
    f.rate = w.nSamplesPerSec;
    f.channels = w.nChannels;
    f.sample = IsFloatFormat(w)                           ? SampleFormat::Float32
               : IsPcmFormat(w) && w.wBitsPerSample == 16 ? SampleFormat::Int16
                                                          : SampleFormat::Other;
    f.bytesPerSample = w.nChannels > 0 ? w.nBlockAlign / w.nChannels : 0u;
    return f;
}

HRESULT Activate(IMMDevice* device, ComPtr<IAudioClient>& client) {
    return device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                            reinterpret_cast<void**>(client.ReleaseAndGetAddressOf()));
}

// The one sample at `at` of a float or integer PCM mix format, as a float.
float ReadSample(const BYTE* at, const MixLayout& mix) {
    if (mix.isFloat) {
        float value = 0.0f;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    // Little-endian, left-aligned in a 32-bit word so the sign comes along.
    uint32_t word = 0;
    for (uint32_t b = 0; b < mix.containerBytes; ++b) word |= uint32_t{at[b]} << (8 * (4 - mix.containerBytes + b));
    return static_cast<float>(static_cast<int32_t>(word)) / 2147483648.0f;
}

// A mix-format packet as float frames of the asked channel count: a mono
// source on every channel, channels beyond the source's taken from its first.
void StagePacket(CaptureStream& s, const BYTE* data, UINT32 frames) {
    s.staged.resize(size_t{frames} * s.channels);
    const uint32_t frameBytes = s.mix.channels * s.mix.containerBytes;
    for (UINT32 i = 0; i < frames; ++i) {
        const BYTE* frame = data + size_t{i} * frameBytes;
        for (uint32_t c = 0; c < s.channels; ++c) {
            const uint32_t from = c < s.mix.channels ? c : 0;
            s.staged[size_t{i} * s.channels + c] = ReadSample(frame + from * s.mix.containerBytes, s.mix);
        }
    }
}

HRESULT FloatMediaType(uint32_t rate, uint32_t channels, ComPtr<IMFMediaType>& type) {
    StreamFormat format;
    format.rate = rate;
    format.channels = channels;
    const WAVEFORMATEXTENSIBLE wave = ToWaveFormat(format);
    HRESULT result = MFCreateMediaType(&type);
    if (SUCCEEDED(result)) result = MFInitMediaTypeFromWaveFormatEx(type.Get(), &wave.Format, sizeof wave);
    return result;
}

HRESULT CreateSampleBuffer(DWORD bytes, ComPtr<IMFSample>& sample) {
    ComPtr<IMFMediaBuffer> buffer;
    HRESULT result = MFCreateSample(&sample);
    if (SUCCEEDED(result)) result = MFCreateMemoryBuffer(bytes, &buffer);
    if (SUCCEEDED(result)) result = sample->AddBuffer(buffer.Get());
    return result;
}

// The mix rate to the asked one, float in and out; the samples are sized
// for the largest packet the capture buffer can hold.
HRESULT CreateResampler(CaptureStream& s, const StreamFormat& wanted, uint32_t bufferFrames) {
    static const HRESULT started = MFStartup(MF_VERSION, MFSTARTUP_LITE);
    ComPtr<IMFMediaType> in;
    ComPtr<IMFMediaType> out;
    HRESULT result = started;
    if (SUCCEEDED(result)) {
        result =
            CoCreateInstance(CLSID_CResamplerMediaObject, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&s.resampler));
    }
    if (SUCCEEDED(result)) result = FloatMediaType(s.mix.rate, wanted.channels, in);
    if (SUCCEEDED(result)) result = FloatMediaType(wanted.rate, wanted.channels, out);
    if (SUCCEEDED(result)) result = s.resampler->SetInputType(0, in.Get(), 0);
    if (SUCCEEDED(result)) result = s.resampler->SetOutputType(0, out.Get(), 0);
    if (SUCCEEDED(result)) result = s.resampler->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
    s.ratio = static_cast<double>(wanted.rate) / s.mix.rate;
    const auto frames = static_cast<DWORD>(2 * (bufferFrames + s.mix.rate / 10) * std::max(1.0, s.ratio));
    const DWORD bytes = frames * wanted.channels * sizeof(float);
    if (SUCCEEDED(result)) result = CreateSampleBuffer(bytes, s.resamplerIn);
    if (SUCCEEDED(result)) result = CreateSampleBuffer(bytes, s.resamplerOut);
    return result;
}

// The staged frames through the resampler into `converted`; false when it failed.
bool Resample(CaptureStream& s, UINT32 frames) {
    ComPtr<IMFMediaBuffer> buffer;
    BYTE* bytes = nullptr;
    DWORD capacity = 0;
    const DWORD length = frames * s.channels * sizeof(float);
    if (FAILED(s.resamplerIn->GetBufferByIndex(0, &buffer)) || FAILED(buffer->Lock(&bytes, &capacity, nullptr))) {
        return false;
    }
    std::memcpy(bytes, s.staged.data(), std::min(length, capacity));
    buffer->Unlock();
    buffer->SetCurrentLength(std::min(length, capacity));
    if (FAILED(s.resampler->ProcessInput(0, s.resamplerIn.Get(), 0))) return false;
    s.converted.clear();
    for (;;) {
        ComPtr<IMFMediaBuffer> outBuffer;
        MFT_OUTPUT_DATA_BUFFER output{};
        output.pSample = s.resamplerOut.Get();
        DWORD status = 0;
        if (FAILED(s.resamplerOut->GetBufferByIndex(0, &outBuffer)) || FAILED(outBuffer->SetCurrentLength(0))) {
            return false;
        }
        const HRESULT result = s.resampler->ProcessOutput(0, 1, &output, &status);
        if (output.pEvents != nullptr) output.pEvents->Release();
        if (result == MF_E_TRANSFORM_NEED_MORE_INPUT) return true;
        if (FAILED(result) || FAILED(outBuffer->Lock(&bytes, nullptr, &capacity))) return false;
        const auto* samples = reinterpret_cast<const float*>(bytes);
        s.converted.insert(s.converted.end(), samples, samples + capacity / sizeof(float));
        outBuffer->Unlock();
    }
}

// The capture in the endpoint's own mix format, on a fresh client: one whose
// Initialize failed is not asked again.
HRESULT InitializeInMixFormat(IMMDevice* device, CaptureStream& s, DWORD flags, const StreamFormat& wanted,
                              uint32_t bufferFrames) {
    HRESULT result = Activate(device, s.client);
    WAVEFORMATEX* mix = nullptr;
    if (SUCCEEDED(result)) result = s.client->GetMixFormat(&mix);
    if (FAILED(result)) return result;
    s.mix = {mix->nSamplesPerSec, mix->nChannels, mix->nChannels > 0 ? mix->nBlockAlign / mix->nChannels : 0u,
             IsFloatFormat(*mix)};
    const bool readable =
        s.mix.channels > 0 &&
        (s.mix.isFloat || (IsPcmFormat(*mix) && s.mix.containerBytes >= 2 && s.mix.containerBytes <= 4));
    result = s.client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, Duration(bufferFrames, mix->nSamplesPerSec), 0, mix,
                                  nullptr);
    CoTaskMemFree(mix);
    if (FAILED(result)) return result;
    if (!readable || wanted.sample != SampleFormat::Float32) return AUDCLNT_E_UNSUPPORTED_FORMAT;
    s.converting = true;
    s.channels = wanted.channels;
    return s.mix.rate == wanted.rate ? S_OK : CreateResampler(s, wanted, bufferFrames);
}

bool PeekConverted(CaptureStream& s, const void*& data, uint32_t& frames) {
    for (;;) {
        UINT32 packet = 0;
        if (FAILED(s.capture->GetNextPacketSize(&packet))) return false;
        if (packet == 0) return true;
        BYTE* raw = nullptr;
        UINT32 got = 0;
        DWORD flags = 0;
        const HRESULT result = s.capture->GetBuffer(&raw, &got, &flags, nullptr, nullptr);
        if (FAILED(result)) return false;
        if (result == AUDCLNT_S_BUFFER_EMPTY) return true;
        const bool silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0 || raw == nullptr;
        if (!silent) StagePacket(s, raw, got);
        if (FAILED(s.capture->ReleaseBuffer(got))) return false;
        uint32_t out = got;
        const float* converted = s.staged.data();
        if (silent && s.resampler != nullptr) {
            // A gap is as long after the conversion as before it.
            out = static_cast<uint32_t>(std::lround(got * s.ratio));
        } else if (!silent && s.resampler != nullptr) {
            if (!Resample(s, got)) return false;
            out = static_cast<uint32_t>(s.converted.size() / s.channels);
            converted = s.converted.data();
        }
        if (out == 0) continue;
        data = silent ? nullptr : converted;
        frames = out;
        s.holding = true;
        return true;
    }
}
// Wine's audio driver takes the loopback flag but then refuses the capture
// client on a render endpoint; it lists each output's monitor as an input
// named after it instead, which captures the same sound.
CaptureStream* OpenMonitorStream(IMMDevice* output, const StreamFormat& format, uint32_t bufferFrames,
                                 std::string& reason) {
    const std::string monitor = "Monitor of " + EndpointFriendlyName(output, "");
    std::vector<AudioEndpoint> inputs;
    std::string defaultId;
    if (ListAudioEndpoints(EndpointFlow::Capture, inputs, defaultId, reason)) {
        for (const AudioEndpoint& e : inputs) {
            if (e.name == monitor) return OpenCaptureStream(e.id, false, format, bufferFrames, reason);
        }
    }
    reason = "the system cannot capture what " + EndpointFriendlyName(output, EndpointIdText(output)) + " plays";
    return nullptr;
}
}  // namespace

CaptureStream* OpenCaptureStream(const std::string& endpointId, bool loopback, const StreamFormat& format,
                                 uint32_t bufferFrames, std::string& reason) {
    ComPtr<IMMDevice> device;
    if (!FindActiveEndpoint(endpointId, loopback ? eRender : eCapture, device, reason)) {
        if (loopback) reason = "no output named " + endpointId + " to capture from";
        return nullptr;
    }
    auto s = std::make_unique<CaptureStream>();
    const DWORD loopbackFlag = loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0;
    const WAVEFORMATEXTENSIBLE asked = ToWaveFormat(format);
    HRESULT result = Activate(device.Get(), s->client);
    if (SUCCEEDED(result)) {
        result = s->client->Initialize(AUDCLNT_SHAREMODE_SHARED, loopbackFlag | kConvertFlags,
                                       Duration(bufferFrames, format.rate), 0, &asked.Format, nullptr);
        if (FAILED(result) && result != AUDCLNT_E_DEVICE_INVALIDATED) {
            result = InitializeInMixFormat(device.Get(), *s, loopbackFlag, format, bufferFrames);
        }
    }
    if (SUCCEEDED(result)) result = s->client->GetService(IID_PPV_ARGS(&s->capture));
    if (result == AUDCLNT_E_WRONG_ENDPOINT_TYPE && loopback)
        return OpenMonitorStream(device.Get(), format, bufferFrames, reason);
    if (SUCCEEDED(result)) result = s->client->Start();
    if (FAILED(result)) {
        reason = "cannot capture from " + EndpointFriendlyName(device.Get(), endpointId) + ": " + ComErrorText(result);
        return nullptr;
    }
    return s.release();
}

bool PeekCapturePacket(CaptureStream* stream, const void*& data, uint32_t& frames) {
    CaptureStream& s = *stream;
    data = nullptr;
    frames = 0;
    if (s.holding) return true;
    if (s.converting) return PeekConverted(s, data, frames);
    UINT32 packet = 0;
    if (FAILED(s.capture->GetNextPacketSize(&packet))) return false;
    if (packet == 0) return true;
    BYTE* raw = nullptr;
    DWORD flags = 0;
    const HRESULT result = s.capture->GetBuffer(&raw, &s.heldFrames, &flags, nullptr, nullptr);
    if (FAILED(result)) return false;
    if (result == AUDCLNT_S_BUFFER_EMPTY) return true;
    s.holding = true;
    data = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0 ? nullptr : raw;
    frames = s.heldFrames;
    return true;
}

void ReleaseCapturePacket(CaptureStream* stream) {
    CaptureStream& s = *stream;
    // A failure here shows at the next peek, which fails the same way.
    if (s.holding && !s.converting) s.capture->ReleaseBuffer(s.heldFrames);
    s.holding = false;
    s.heldFrames = 0;
}

void CloseCaptureStream(CaptureStream* stream) {
    if (stream == nullptr) return;
    if (stream->client != nullptr) stream->client->Stop();
    delete stream;
}

bool CaptureEndpointChannels(const std::string& endpointId, uint32_t& channels, std::string& reason) {
    channels = 0;
    ComPtr<IMMDevice> device;
    if (!FindActiveEndpoint(endpointId, eCapture, device, reason)) return false;
    ComPtr<IAudioClient> client;
    WAVEFORMATEX* mix = nullptr;
    HRESULT result = Activate(device.Get(), client);
    if (SUCCEEDED(result)) result = client->GetMixFormat(&mix);
    if (FAILED(result)) {
        reason = "no format from input " + endpointId + ": " + ComErrorText(result);
        return false;
    }
    channels = mix->nChannels;
    CoTaskMemFree(mix);
    return true;
}

RenderStream* OpenRenderStream(const std::string& endpointId, StreamFormat& format, bool endpointFormat,
                               uint32_t bufferFrames, std::string& openedId, std::string& reason) {
    ComPtr<IMMDevice> device;
    if (endpointId.empty()) {
        ComPtr<IMMDeviceEnumerator> enumerator;
        if (!CreateEndpointEnumerator(enumerator, reason)) return nullptr;
        if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device))) {
            reason = "no default output";
            return nullptr;
        }
    } else if (!FindActiveEndpoint(endpointId, eRender, device, reason)) {
        return nullptr;
    }
    auto s = std::make_unique<RenderStream>();
    HRESULT result = Activate(device.Get(), s->client);
    if (SUCCEEDED(result) && endpointFormat) {
        WAVEFORMATEX* mix = nullptr;
        result = s->client->GetMixFormat(&mix);
        if (SUCCEEDED(result)) {
            format = FromWaveFormat(*mix);
            result = s->client->Initialize(AUDCLNT_SHAREMODE_SHARED, 0, Duration(bufferFrames, format.rate), 0, mix,
                                           nullptr);
            CoTaskMemFree(mix);
        }
    } else if (SUCCEEDED(result)) {
        const WAVEFORMATEXTENSIBLE asked = ToWaveFormat(format);
        result = s->client->Initialize(AUDCLNT_SHAREMODE_SHARED, kConvertFlags, Duration(bufferFrames, format.rate), 0,
                                       &asked.Format, nullptr);
    }
    if (SUCCEEDED(result)) result = s->client->GetBufferSize(&s->bufferFrames);
    if (SUCCEEDED(result)) result = s->client->GetService(IID_PPV_ARGS(&s->render));
    if (FAILED(result)) {
        reason = "cannot play on " + EndpointFriendlyName(device.Get(), endpointId) + ": " + ComErrorText(result);
        return nullptr;
    }
    s->frameBytes = BytesPerFrame(format);
    openedId = EndpointIdText(device.Get());
    return s.release();
}

uint32_t RenderStreamBufferFrames(RenderStream* stream) { return stream->bufferFrames; }

bool RenderStreamSpace(RenderStream* stream, uint32_t& frames) {
    frames = 0;
    UINT32 padding = 0;
    if (FAILED(stream->client->GetCurrentPadding(&padding))) return false;
    frames = padding < stream->bufferFrames ? stream->bufferFrames - padding : 0;
    return true;
}

// The stream starts with its first write, so the device never starts on an empty buffer.
bool WriteRenderStream(RenderStream* stream, const void* data, uint32_t frames) {
    BYTE* buffer = nullptr;
    if (FAILED(stream->render->GetBuffer(frames, &buffer))) return false;
    std::memcpy(buffer, data, size_t{frames} * stream->frameBytes);
    if (FAILED(stream->render->ReleaseBuffer(frames, 0))) return false;
    if (!stream->started) stream->started = SUCCEEDED(stream->client->Start());
    return stream->started;
}

void CloseRenderStream(RenderStream* stream) {
    if (stream == nullptr) return;
    if (stream->started) stream->client->Stop();
    delete stream;
}
