#pragma once
// The desktop's own ways of showing things: its opener for web addresses
// and folders, the Brave browser where it is installed, and its sound
// settings. Each failure is told on the console; the caller decides what
// the user is shown. Addresses are checked by the caller before they come here.

#include <string>

// A web address in the default browser, or a folder in the file manager.
bool OpenWithDesktop(const std::string& target);
// The Brave browser's program, "" when it is not installed.
std::string BraveBrowserPath();
// The address in Brave; false when it is not installed or did not start.
bool StartBraveBrowser(const std::string& url);

enum class SoundPage {
    AppVolumes,    // the volume of each program
    ControlPanel,  // the system's playback and recording devices
};
// False with `missingHint` (what to install, for the user) when the tool
// that shows the page is not there.
bool OpenSoundSettings(SoundPage page, std::string& missingHint);

// What the Setup Wizard's install buttons do on this desktop: open the
// product's page (url), or, where packages install it, show how (text).
enum class InstallItem {
    Browser,       // the Brave browser
    Cable,         // the virtual cable, when the sound server cannot make it
    StudioDriver,  // a driver for the Studio stream
    Livestream,    // routing the program's sound to streaming software
};
struct InstallHelp {
    std::string caption;  // of the notice that shows `text`
    std::string url;      // a full address, or a path on the maker's web site ("/...")
    std::string text;
};
InstallHelp HowToInstall(InstallItem item);
// Whether the sound server makes the virtual cable itself when asked; else
// the user installs one (HowToInstall(InstallItem::Cable)).
bool SoundServerMakesCable();
// What this build's Studio drivers cannot reach, for the wizard's driver step; "" when nothing.
std::string StudioDriverLimits();
