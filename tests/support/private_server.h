#pragma once
// PulseAudio helpers of the road tests: own servers, passing sinks, sounds played and recorded.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/shell.h"

#define ASSERT_TEST_SERVER() ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "no test server: see scripts/test.sh"

// Environment variables set for the object's life; what was there comes back.
struct ScopedEnv {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1) : unsetenv(it->first.c_str());
        }
    }
};

// Same named devices as the shared test server; while it lives, this process talks to it.
struct PrivateServer {
    std::string dir;
    ScopedEnv env = {};
    bool Start() {
        int status = -1;
        Shell(Script("start"), &status);
        std::ifstream file(dir + "/env");
        for (std::string word; file >> word;) {
            if (const size_t eq = word.find('='); eq < word.size()) env.Set(word.substr(0, eq), word.substr(eq + 1));
        }
        return status == 0;
    }
    void Stop() { Shell(Script("stop")); }
    std::string Script(const std::string& verb) const {
        return SONAVELA_SOURCE_DIR "/scripts/pulse_test_server.sh " + verb + " " + dir + " >/dev/null 2>&1";
    }
    ~PrivateServer() { Stop(); }
};

// A null sink for one test, unloaded at the end unless the test already did.
struct TemporarySink {
    std::string module;
    TemporarySink(const std::string& name, const std::string& description)
        : module(ShellWord("pactl load-module module-null-sink sink_name=" + name + " rate=48000 channels=2 " +
                           "\"sink_properties=\\\"device.description='" + description + "'\\\"\"")) {}
    void Unload() {
        if (!module.empty()) Shell("pactl unload-module " + module);
        module.clear();
    }
    ~TemporarySink() { Unload(); }
};

// Plays a sox synth into a sink; returns when it has been played.
inline void PlayInto(const std::string& sink, const std::string& synth) {
    Shell("sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - " + synth + " | pacat --playback -d " + sink +
          " --format=float32le --rate=48000 --channels=2 --raw >/dev/null 2>&1");
}

// The left channel of a sink's monitor, recorded with parec until Stop.
struct MonitorRecording {
    std::filesystem::path file;
    Background parec;
    MonitorRecording(const std::string& sink, const std::filesystem::path& into)
        : file(into), parec("parec -d " + sink + ".monitor --format=float32le --rate=48000 --raw >" + into.string()) {}
    std::vector<float> Stop() {
        parec.Stop();
        std::ifstream in(file, std::ios::binary);
        std::vector<float> left;
        for (float frame[2]; in.read(reinterpret_cast<char*>(frame), sizeof frame);) left.push_back(frame[0]);
        return left;
    }
};
