#include "platform/system_info.h"

#include <sys/utsname.h>

#include <fstream>

SystemDescription DescribeSystem() {
    SystemDescription d{"Linux (unknown distribution)", "unknown"};
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (!line.starts_with("PRETTY_NAME=")) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (!value.empty()) d.system = value;
    }
    struct utsname names {};
    if (uname(&names) == 0) d.kernel = std::string(names.sysname) + " " + names.release + " " + names.machine;
    return d;
}
