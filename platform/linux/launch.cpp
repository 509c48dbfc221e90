#include "platform/launch.h"

#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/linux/spawn_child.h"

std::string FindProgramOnPath(const std::string& name) { return LookUpProgram(name); }

bool LaunchProgram(const std::vector<std::string>& arguments, std::string& reason) {
    if (arguments.empty() || arguments.front().empty()) {
        reason = "no program given";
        return false;
    }
    const std::string path = LookUpProgram(arguments.front());
    if (path.empty()) {
        reason = arguments.front() + " is not installed";
        return false;
    }
    ChildSetup setup;
    setup.ownSession = true;
    pid_t child = -1;
    if (!SpawnChild(path, arguments, setup, child, reason)) return false;
    // A thread that waits for this child alone: no zombie stays, no SIGCHLD
    // handler is needed, and the folder chooser's child is left to its own poll.
    try {
        std::thread([child] {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child runs all the same and is reaped when we exit.
    }
    return true;
}
