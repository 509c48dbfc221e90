#pragma once
// Starting a child process without a shell, shared by the launcher and the
// folder chooser.

#include <sys/types.h>

#include <string>
#include <vector>

struct ChildSetup {
    int outputFd = -1;        // the child's standard output, else ours
    bool quiet = false;       // standard error to /dev/null
    bool ownSession = false;  // away from our terminal's signals, so it outlives us
};

// The full path of a runnable regular file: `name` itself when it holds a
// "/", else the first match in PATH; "" when there is none.
std::string LookUpProgram(const std::string& name);
// Starts `path` with `arguments` (arguments[0] is its own name) as they are.
// The child gets our environment, signals at their defaults and unmasked,
// standard input from /dev/null and none of our other descriptors.
bool SpawnChild(const std::string& path, const std::vector<std::string>& arguments, const ChildSetup& setup,
                pid_t& child, std::string& reason);
