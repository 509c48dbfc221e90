#pragma once
// What the Windows audio files share: COM on the calling thread, the
// endpoint enumerator, an endpoint looked up by id, and its names.

#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <string>

using Microsoft::WRL::ComPtr;

// Joins the multithreaded apartment, once per thread; a thread already in
// an apartment keeps it.
void UseComOnThisThread();
// A COM failure in words, for a reason string.
std::string ComErrorText(HRESULT result);
bool CreateEndpointEnumerator(ComPtr<IMMDeviceEnumerator>& enumerator, std::string& reason);
// An active endpoint of `flow` by its UTF-8 id; false with the reason otherwise.
bool FindActiveEndpoint(const std::string& id, EDataFlow flow, ComPtr<IMMDevice>& device, std::string& reason);
std::string EndpointIdText(IMMDevice* device);
// PKEY_Device_FriendlyName, or `fallback` when the endpoint does not say.
std::string EndpointFriendlyName(IMMDevice* device, const std::string& fallback);
