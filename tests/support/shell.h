#pragma once
// Runs a command through the shell and captures its standard output; the
// exit code goes to status when asked for.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The first word of the output, for commands that print one.
inline std::string ShellWord(const std::string& command) {
    const std::string out = Shell(command);
    return out.substr(0, out.find_first_of("\n "));
}

// A command run in its own process group until Stop, which ends and reaps it.
struct Background {
    pid_t pid;
    explicit Background(const std::string& command) : pid(fork()) {
        if (pid == 0) setpgid(0, 0), execl("/bin/sh", "sh", "-c", command.c_str(), nullptr), _exit(127);
    }
    // Ends it with SIGTERM: its exit code, 128 + the signal that ended it, or -1 when there was none.
    int Stop() {
        int status = 0;
        if (pid > 0) kill(-pid, SIGTERM);
        const bool reaped = pid > 0 && waitpid(pid, &status, 0) == pid;
        pid = -1;
        if (!reaped) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~Background() { Stop(); }
};
