#pragma once
// Runs a command through the shell and captures its standard output; the
// exit code goes to status when asked for.

#include <sys/wait.h>

#include <cstdio>
#include <string>

inline std::string Shell(const std::string& command, int* status = nullptr) {
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buffer[1024];
    while (p != nullptr && std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    const int raw = p != nullptr ? pclose(p) : -1;
    if (status != nullptr) *status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}
