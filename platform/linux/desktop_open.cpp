// The Linux desktop: xdg-open, Brave from its packages, pavucontrol for
// every sound page. Written over launch.h alone, so the scripted platform
// runs the same policy over its scripted programs.
#include "platform/desktop_open.h"

#include <vector>

#include "platform/console.h"
#include "platform/launch.h"

namespace {
bool Launch(const std::vector<std::string>& arguments) {
    std::string reason;
    if (LaunchProgram(arguments, reason)) return true;
    Console("[WARN] Khong mo duoc " + arguments.front() + ": " + reason + "\n");
    return false;
}
}  // namespace

bool OpenWithDesktop(const std::string& target) { return Launch({"xdg-open", target}); }

std::string BraveBrowserPath() {
    for (const char* name :
         {"brave-browser", "brave", "brave-browser-stable", "/opt/brave.com/brave/brave", "/snap/bin/brave"}) {
        std::string path = FindProgramOnPath(name);
        if (!path.empty()) return path;
    }
    return "";
}

bool StartBraveBrowser(const std::string& url) {
    const std::string brave = BraveBrowserPath();
    return !brave.empty() && Launch({brave, url});
}

bool OpenSoundSettings(SoundPage, std::string& missingHint) {
    const std::string mixer = FindProgramOnPath("pavucontrol");
    if (mixer.empty()) {
        missingHint =
            "Chua co trinh chinh am luong (Volume Mixer).\n"
            "Hay cai goi \"pavucontrol\" (vi du: sudo apt install pavucontrol) roi bam lai.";
        return false;
    }
    return Launch({mixer});
}
