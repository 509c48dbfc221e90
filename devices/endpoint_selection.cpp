#include "devices/endpoint_selection.h"

#include <cctype>

#include "devices/device_choices.h"
#include "devices/driver_preference.h"

EndpointLists endpointLists;

namespace {
// Keywords are ASCII, so lower-casing ASCII letters is enough; other bytes pass.
std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

// False when the system could not be asked: the list is then empty and the caller keeps its selection.
bool Enumerate(EndpointFlow flow, std::vector<AudioEndpoint>& list, std::string& defaultId) {
    list.clear();
    std::vector<AudioEndpoint> found;
    std::string reason;
    if (!ListAudioEndpoints(flow, found, defaultId, reason)) return false;
    const char* unnamed = flow == EndpointFlow::Render ? "Windows Audio Output" : "Windows Audio Input";
    for (const AudioEndpoint& e : found) {
        if (!e.id.empty()) list.push_back({e.id, e.name.empty() ? unnamed : e.name});
    }
    return true;
}

int IndexOfId(const std::vector<AudioEndpoint>& list, const std::string& id) {
    if (id.empty()) return -1;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

int BestMicrophone(const std::vector<AudioEndpoint>& list) {
    int best = -9999;
    int index = -1;
    for (size_t i = 0; i < list.size(); ++i) {
        const int score = ScoreMicName(list[i].name);
        if (score > best) {
            best = score;
            index = static_cast<int>(i);
        }
    }
    return index;
}

const AudioEndpoint* Selected(const std::vector<AudioEndpoint>& list, int index) {
    return index >= 0 && static_cast<size_t>(index) < list.size() ? &list[static_cast<size_t>(index)] : nullptr;
}
}  // namespace

void RefreshOutputEndpoints() {
    std::string defaultId;
    if (!Enumerate(EndpointFlow::Render, endpointLists.outputEndpoints, defaultId)) return;
    const std::vector<AudioEndpoint>& list = endpointLists.outputEndpoints;
    int index = IndexOfId(list, deviceChoices.miniOutputId);
    if (index < 0) index = IndexOfId(list, defaultId);
    if (index < 0 && !list.empty()) index = 0;
    endpointLists.selectedOutputIndex = index;
    const std::string chosen = index >= 0 ? list[static_cast<size_t>(index)].id : "";
    if (chosen != deviceChoices.miniOutputId || index < 0) {
        deviceChoices.miniOutputId = chosen;
        deviceChoices.saveWanted = true;
    }
}

void RefreshInputEndpoints() {
    std::string defaultId;
    if (!Enumerate(EndpointFlow::Capture, endpointLists.inputEndpoints, defaultId)) return;
    const std::vector<AudioEndpoint>& list = endpointLists.inputEndpoints;
    int index = IndexOfId(list, deviceChoices.micInputId);
    if (index < 0) index = BestMicrophone(list);
    endpointLists.selectedInputIndex = index;
    if (index >= 0) deviceChoices.micInputId = list[static_cast<size_t>(index)].id;
}

const AudioEndpoint* SelectedOutput() {
    return Selected(endpointLists.outputEndpoints, endpointLists.selectedOutputIndex);
}

const AudioEndpoint* SelectedInput() { return Selected(endpointLists.inputEndpoints, endpointLists.selectedInputIndex); }

int ScoreMicName(const std::string& name) {
    const std::string n = Lower(name);
    for (const char* never : {"cable", "stereo mix", "what u hear", "nvidia"}) {
        if (Contains(n, never)) return -1000;
    }
    int score = Contains(n, "line") ? 35 : 0;
    if (Contains(n, "microphone") || Contains(n, "mic")) score += 30;
    if (Contains(n, "usb")) score += 25;
    if (Contains(n, "audio")) score += 8;
    if (Contains(n, "k10") || Contains(n, "xox")) score += 45;
    return score;
}

bool IsK10Name(const std::string& name) {
    const std::string n = Lower(name);
    return (n.size() >= 7 && Contains(n, "xox k10")) || (n.size() >= 8 && Contains(n, "k10 10th"));
}

bool HasK10Output() { return FindK10OutputIndex() >= 0; }

int FindK10OutputIndex() {
    const std::vector<AudioEndpoint>& list = endpointLists.outputEndpoints;
    for (size_t i = 0; i < list.size(); ++i) {
        if (IsK10Name(list[i].name)) return static_cast<int>(i);
    }
    return -1;
}

// A driver of the desktop's sound server plays the generic driver's part, whatever its name.
bool IsAsio4AllName(const std::string& driverName) {
    return Contains(driverName, "ASIO4ALL") || IsListedGenericDriver(driverName);
}

bool IsAsio4AllWithK10(const std::string& driverName) { return IsAsio4AllName(driverName) && HasK10Output(); }
