#pragma once
// The system's active outputs and inputs, which one of each is selected,
// and the name tests the device policy relies on. UI thread only; the
// streams get an endpoint id by value when they open.

#include <string>
#include <vector>

#include "platform/audio_endpoints.h"

struct EndpointLists {
    std::vector<AudioEndpoint> outputEndpoints;
    int selectedOutputIndex = -1;
    std::vector<AudioEndpoint> inputEndpoints;
    int selectedInputIndex = -1;
};

extern EndpointLists endpointLists;

// Rebuilds the outputs and selects the stored "mini_output_id", else the
// system default, else the first; a changed id is to be saved.
void RefreshOutputEndpoints();
// Rebuilds the inputs and selects the stored "wasapi_mic_input_id", else the
// best microphone by name; the new id is kept in memory only.
void RefreshInputEndpoints();

// The selected entry, or none when the index is out of range.
const AudioEndpoint* SelectedOutput();
const AudioEndpoint* SelectedInput();

int ScoreMicName(const std::string& name);
bool IsK10Name(const std::string& name);
// In the outputs as last listed: the window asks every frame, so the list is
// rebuilt by the refreshes and device changes, not by the question.
bool HasK10Output();
int FindK10OutputIndex();
bool IsAsio4AllName(const std::string& driverName);
bool IsAsio4AllWithK10(const std::string& driverName);
