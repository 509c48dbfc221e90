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

InstallHelp HowToInstall(InstallItem item) {
    switch (item) {
        case InstallItem::Browser:
            return {"Sonavela - Brave Browser", "",
                    "Cai Brave Browser tu kho cua Brave (brave.com/linux):\n"
                    "Debian/Ubuntu: sudo apt install brave-browser\n"
                    "Fedora: sudo dnf install brave-browser\n"
                    "Sau do bam REFRESH KIEM TRA."};
        case InstallItem::Cable:
            return {"Sonavela - VB-CABLE", "", "Bam TAO CABLE: Sonavela tao output ao tren sound server."};
        case InstallItem::StudioDriver:
            return {"Sonavela - Driver Studio", "",
                    "Tren Linux, Studio dung JACK/ALSA (native) hoac sound server PulseAudio/PipeWire "
                    "(generic fallback).\n"
                    "Debian/Ubuntu: sudo apt install pipewire-pulse pipewire-audio-client-libraries jackd2\n"
                    "Fedora: sudo dnf install pipewire-pulseaudio pipewire-jack-audio-connection-kit\n"
                    "Sau do khoi dong lai Sonavela."};
        case InstallItem::Livestream:
            return {"Sonavela - Livestream", "",
                    "Tren Linux, dua am thanh Sonavela sang OBS qua JACK (qjackctl) hoac chon nguon "
                    "\"Monitor of ...\" cua output trong OBS.\n"
                    "Debian/Ubuntu: sudo apt install qjackctl\nFedora: sudo dnf install qjackctl"};
    }
    return {};
}

bool SoundServerMakesCable() { return true; }

std::string StudioDriverLimits() { return ""; }
