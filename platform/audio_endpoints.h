#pragma once
// The operating system's audio endpoints: render (outputs) and capture
// (inputs). An id is stable across runs and is what the config stores; the
// name is what a person reads. Both are UTF-8.

#include <string>
#include <vector>

enum class EndpointFlow { Render, Capture };

struct AudioEndpoint {
    std::string id;    // stable across runs; what the config stores
    std::string name;  // what a person reads
};

// The active endpoints of one flow in the system's order, and the id of the
// system's default (empty when there is none). False, with a reason a person
// can act on, when the audio system cannot be reached.
bool ListAudioEndpoints(EndpointFlow flow, std::vector<AudioEndpoint>& endpoints, std::string& defaultId,
                        std::string& reason);
