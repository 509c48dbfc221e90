#pragma once
// What the program opens outside itself: a search on the video site, the
// browser the beat plays in, web pages and the desktop's sound settings. Only
// http and https addresses and the settings pages named here are opened, so
// a typed song link can never run anything.

#include <string>

#include "platform/desktop_open.h"

// Letters, digits and "-._~" kept, space as "+", every other byte as %XX.
std::string UrlEncodeQuery(const std::string& text);
// Whether the address may be opened: http(s) with a host, printable ASCII
// only (no spaces or control characters), or a settings page named here.
bool IsOpenableUrl(const std::string& url);
bool IsBraveInstalled();
// In the Brave browser when it is installed, else in the default browser.
// False (nothing opened) for an address that may not be opened.
bool OpenInBrave(const std::string& url);
// A web address in the default browser, or a settings page ("ms-settings:
// apps-volume" opens the volume mixer). False when refused or nothing started.
bool ShellOpenUrl(const std::string& url);
// The desktop's volume of each program; when the tool that shows it is not
// installed the user is told what to install.
bool OpenVolumeMixerSettings();
// The system's sound devices panel, told the same way.
bool OpenSoundControlPanel();
// What an install button of the Setup Wizard does here: the product's page
// opened, or how to install it told in a notice.
void ShowInstallHelp(InstallItem item);
// Whether "TAO CABLE" can make the cable on this desktop's sound server.
bool CableCanBeMade();
// What this build's Studio drivers cannot reach; "" when nothing.
std::string StudioDriverLimitsNote();
// The update's download link in the browser: only an http(s) link, anything
// else is refused and told.
bool OpenUpdateDownload(const std::string& url);
// The recordings folder, made when missing, in the desktop's file manager;
// a folder that cannot be made or shown is told.
bool OpenRecordingsFolder(const std::string& folder);
