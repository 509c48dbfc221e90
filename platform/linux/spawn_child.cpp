#include "platform/linux/spawn_child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace {
bool IsRunnable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}
}  // namespace

std::string LookUpProgram(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return IsRunnable(name) ? name : "";
    const char* variable = std::getenv("PATH");
    std::string_view folders = variable != nullptr && *variable != '\0' ? variable : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t end = std::min(folders.find(':'), folders.size());
        const std::string_view folder = folders.substr(0, end);
        folders.remove_prefix(std::min(end + 1, folders.size()));
        // An empty or relative entry means wherever we were started from: never trusted.
        if (folder.empty() || folder.front() != '/') continue;
        std::string candidate(folder);
        candidate += '/';
        candidate += name;
        if (IsRunnable(candidate)) return candidate;
    }
    return "";
}

bool SpawnChild(const std::string& path, const std::vector<std::string>& arguments, const ChildSetup& setup,
                pid_t& child, std::string& reason) {
    if (arguments.empty()) {
        reason = "no arguments for " + path;
        return false;
    }
    std::vector<std::string> copies = arguments;  // posix_spawn takes char*, not const char*
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (setup.outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, setup.outputFd, STDOUT_FILENO);
    if (setup.quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Whatever we forgot to mark close-on-exec (a lock, a socket, a device) must not live on in a browser.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    int flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (setup.ownSession) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, static_cast<short>(flags));

    const int result = posix_spawn(&child, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result == 0) return true;
    reason = path + ": " + std::strerror(result);
    return false;
}
