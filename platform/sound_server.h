#pragma once
// The desktop's sound server as the Setup Wizard works on it: a virtual
// output made on it, and another program's playback moved to an output.

#include <cstdint>
#include <string>
#include <vector>

// One program's playback as the server lists it.
struct PlaybackStream {
    uint32_t index = 0;
    std::string application;  // the name the program gave itself
    std::string binary;       // its executable's name, "" when not told
};

// Loads a virtual output (a null sink) named `id` with the description `name`
// at 48000 Hz. False, with the server's reason, when it would not load.
bool LoadVirtualOutput(const std::string& id, const std::string& name, std::string& reason);
// The playback streams now running, in the server's order.
bool ListPlaybackStreams(std::vector<PlaybackStream>& streams, std::string& reason);
// Moves a playback stream to the output whose id is given.
bool MovePlaybackStream(uint32_t index, const std::string& outputId, std::string& reason);

// The server's name and version as support asks for them ("pulseaudio 16.1");
// false, with the reason, when it did not answer.
bool DescribeSoundServer(std::string& description, std::string& reason);
