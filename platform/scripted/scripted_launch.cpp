#include "platform/launch.h"
#include "platform/scripted/scripted_platform.h"

std::string FindProgramOnPath(const std::string& name) {
    for (const std::string& path : scripted.launcher.installed) {
        if (path == name || (name.find('/') == std::string::npos && path.ends_with("/" + name))) return path;
    }
    return "";
}

bool LaunchProgram(const std::vector<std::string>& arguments, std::string& reason) {
    if (arguments.empty() || FindProgramOnPath(arguments.front()).empty()) {
        reason = "scripted: not installed";
        return false;
    }
    scripted.launcher.launched.push_back(arguments);
    return true;
}
