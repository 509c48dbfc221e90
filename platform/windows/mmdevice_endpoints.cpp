// Endpoints are the MMDevice API's active endpoints: id = GetId, name =
// the friendly name.

#include <windows.h>
// The property keys need the device API's types before them.
#include <mmdeviceapi.h>
// The key is defined here (selectany), as no import library has it.
#include <initguid.h>
// Last, for both reasons above.
#include <functiondiscoverykeys_devpkey.h>

#include "platform/audio_endpoints.h"
#include "platform/windows/mmdevice.h"
#include "platform/windows/wide_text.h"

void UseComOnThisThread() {
    thread_local bool joined = false;
    if (joined) return;
    // RPC_E_CHANGED_MODE leaves a thread that chose its apartment itself as it is.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY);
    joined = true;
}

std::string ComErrorText(HRESULT result) { return SystemErrorText(static_cast<unsigned long>(result)); }

bool CreateEndpointEnumerator(ComPtr<IMMDeviceEnumerator>& enumerator, std::string& reason) {
    UseComOnThisThread();
    const HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                            IID_PPV_ARGS(enumerator.ReleaseAndGetAddressOf()));
    if (SUCCEEDED(result)) return true;
    reason = "Windows Audio does not answer: " + ComErrorText(result);
    return false;
}

bool FindActiveEndpoint(const std::string& id, EDataFlow flow, ComPtr<IMMDevice>& device, std::string& reason) {
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (!CreateEndpointEnumerator(enumerator, reason)) return false;
    const char* kind = flow == eRender ? "output" : "input";
    DWORD state = 0;
    ComPtr<IMMEndpoint> endpoint;
    EDataFlow actual = eAll;
    if (id.empty() || FAILED(enumerator->GetDevice(Utf8ToWide(id).c_str(), device.ReleaseAndGetAddressOf())) ||
        FAILED(device->GetState(&state)) || (state & DEVICE_STATE_ACTIVE) == 0 || FAILED(device.As(&endpoint)) ||
        FAILED(endpoint->GetDataFlow(&actual)) || actual != flow) {
        reason = std::string("no active ") + kind + " with id " + id;
        device.Reset();
        return false;
    }
    return true;
}

std::string EndpointIdText(IMMDevice* device) {
    LPWSTR id = nullptr;
    return SUCCEEDED(device->GetId(&id)) ? TakeTaskText(id) : "";
}

std::string EndpointFriendlyName(IMMDevice* device, const std::string& fallback) {
    ComPtr<IPropertyStore> properties;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &properties))) return fallback;
    PROPVARIANT value;
    PropVariantInit(&value);
    std::string name = fallback;
    if (SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR &&
        value.pwszVal != nullptr) {
        name = WideToUtf8(value.pwszVal);
    }
    PropVariantClear(&value);
    return name;
}

bool ListAudioEndpoints(EndpointFlow flow, std::vector<AudioEndpoint>& endpoints, std::string& defaultId,
                        std::string& reason) {
    endpoints.clear();
    defaultId.clear();
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (!CreateEndpointEnumerator(enumerator, reason)) return false;
    const EDataFlow dataFlow = flow == EndpointFlow::Render ? eRender : eCapture;
    const char* fallbackName = flow == EndpointFlow::Render ? "Windows Audio Output" : "Windows Audio Input";
    ComPtr<IMMDeviceCollection> collection;
    HRESULT result = enumerator->EnumAudioEndpoints(dataFlow, DEVICE_STATE_ACTIVE, &collection);
    UINT count = 0;
    if (SUCCEEDED(result)) result = collection->GetCount(&count);
    if (FAILED(result)) {
        reason = "Windows Audio did not list its endpoints: " + ComErrorText(result);
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(collection->Item(i, &device))) continue;
        std::string id = EndpointIdText(device.Get());
        if (!id.empty()) endpoints.push_back({std::move(id), EndpointFriendlyName(device.Get(), fallbackName)});
    }
    // No default is no error: a machine may have no endpoint of the flow at all.
    ComPtr<IMMDevice> fallback;
    if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(dataFlow, eMultimedia, &fallback))) {
        defaultId = EndpointIdText(fallback.Get());
    }
    return true;
}
