#pragma once
// A PulseAudio server of the test's own, with the same named devices as the
// shared test server, that a test may stop and start again. While it
// lives, this process talks to it; the shared server's settings come back
// when it goes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/shell.h"

class PrivateServer {
public:
    explicit PrivateServer(const std::filesystem::path& where) : dir(where) {
        for (const char* name : {"PULSE_SERVER", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value != nullptr ? value : "");
        }
    }
    bool Start() {
        int status = -1;
        Shell(std::string(SONAVELA_SOURCE_DIR) + "/scripts/pulse_test_server.sh start " + dir.string() + " >/dev/null 2>&1", &status);
        std::ifstream env(dir / "env");
        std::string word;
        while (env >> word) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) setenv(word.substr(0, eq).c_str(), word.substr(eq + 1).c_str(), 1);
        }
        return status == 0;
    }
    void Stop() { Shell(std::string(SONAVELA_SOURCE_DIR) + "/scripts/pulse_test_server.sh stop " + dir.string() + " >/dev/null 2>&1"); }
    ~PrivateServer() {
        Stop();
        for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::filesystem::path dir;
    std::vector<std::pair<std::string, std::string>> saved;
};
