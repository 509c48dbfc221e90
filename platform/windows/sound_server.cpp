// Windows has no call that makes a virtual output or moves another
// program's playback: the cable is a driver the user installs, and the
// route is the user's choice in the system's own settings. What can be read
// is which programs play, from the audio sessions of the active outputs.

#include <windows.h>
// After windows.h, which they need.
#include <audioclient.h>
#include <audiopolicy.h>

#include <algorithm>

#include "platform/sound_server.h"
#include "platform/windows/mmdevice.h"
#include "platform/windows/wide_text.h"

namespace {
// The executable's file name, "" when the process cannot be opened.
std::string ExecutableName(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return "";
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(process, 0, path, &size) != 0;
    CloseHandle(process);
    if (!named) return "";
    const std::wstring full(path, size);
    return WideToUtf8(full.substr(full.find_last_of(L"\\/") + 1));
}

std::string DisplayName(IAudioSessionControl2* session) {
    LPWSTR name = nullptr;
    return SUCCEEDED(session->GetDisplayName(&name)) ? TakeTaskText(name) : "";
}

// The playing sessions of one output, once per process.
HRESULT AddPlayingSessions(IMMDevice* device, std::vector<PlaybackStream>& streams) {
    ComPtr<IAudioSessionManager2> manager;
    ComPtr<IAudioSessionEnumerator> sessions;
    int count = 0;
    HRESULT result = device->Activate(__uuidof(IAudioSessionManager2), CLSCTX_ALL, nullptr,
                                      reinterpret_cast<void**>(manager.GetAddressOf()));
    if (SUCCEEDED(result)) result = manager->GetSessionEnumerator(&sessions);
    if (SUCCEEDED(result)) result = sessions->GetCount(&count);
    for (int i = 0; SUCCEEDED(result) && i < count; ++i) {
        ComPtr<IAudioSessionControl> control;
        ComPtr<IAudioSessionControl2> session;
        AudioSessionState state = AudioSessionStateInactive;
        DWORD processId = 0;
        if (FAILED(sessions->GetSession(i, &control)) || FAILED(control.As(&session)) ||
            FAILED(session->GetState(&state)) || state != AudioSessionStateActive ||
            FAILED(session->GetProcessId(&processId)) || processId == 0) {
            continue;  // the system's own sounds, or a session that just ended
        }
        const bool listed =
            std::any_of(streams.begin(), streams.end(), [&](const PlaybackStream& s) { return s.index == processId; });
        if (!listed) streams.push_back({processId, DisplayName(session.Get()), ExecutableName(processId)});
    }
    return result;
}
}  // namespace

bool LoadVirtualOutput(const std::string&, const std::string&, std::string& reason) {
    reason =
        "Windows khong tao duoc cable ao bang phan mem. Hay cai VB-CABLE (VB-Audio Virtual Cable, vb-audio.com), "
        "khoi dong lai may roi bam REFRESH CABLE.";
    return false;
}

// The index of a stream is its process id.
bool ListPlaybackStreams(std::vector<PlaybackStream>& streams, std::string& reason) {
    streams.clear();
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (!CreateEndpointEnumerator(enumerator, reason)) return false;
    ComPtr<IMMDeviceCollection> outputs;
    UINT count = 0;
    HRESULT result = enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &outputs);
    if (SUCCEEDED(result)) result = outputs->GetCount(&count);
    for (UINT i = 0; SUCCEEDED(result) && i < count; ++i) {
        ComPtr<IMMDevice> device;
        result = outputs->Item(i, &device);
        if (SUCCEEDED(result)) result = AddPlayingSessions(device.Get(), streams);
    }
    if (SUCCEEDED(result)) return true;
    reason = "Windows khong cho doc cac phien am thanh: " + ComErrorText(result);
    return false;
}

bool MovePlaybackStream(uint32_t, const std::string&, std::string& reason) {
    reason =
        "Windows khong cho chuyen am thanh cua chuong trinh khac. Hay mo Settings > System > Sound > "
        "Volume mixer (App volume and device preferences) va chon Output cua trinh duyet la CABLE Input.";
    return false;
}

// The version from the kernel itself: GetVersionEx answers what the manifest allows.
bool DescribeSoundServer(std::string& description, std::string& reason) {
    description.clear();
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (!CreateEndpointEnumerator(enumerator, reason)) return false;
    using GetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll != nullptr
            ? reinterpret_cast<GetVersionCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
    description = "Windows Audio";
    if (getVersion != nullptr && getVersion(&version) == 0) {
        description += " " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
                       "." + std::to_string(version.dwBuildNumber);
    }
    return true;
}
