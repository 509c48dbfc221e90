#include "app/outside_world.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "app/notices.h"
#include "platform/console.h"
#include "platform/desktop_open.h"
#include "platform/file_access.h"
#include "recording/record_folder.h"
#include "update/update_check.h"

namespace {
constexpr std::string_view kVolumePage = "ms-settings:apps-volume";

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != prefix[i]) return false;
    }
    return true;
}

// http or https, a host name (or a bracketed address) with an optional port,
// then anything printable. Printable ASCII only: a link copied from a browser
// is already percent-encoded, and nothing else can pass as an option or a
// second argument.
bool IsWebUrl(std::string_view url) {
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) return false;
    }
    if (StartsWithNoCase(url, "http://")) {
        url.remove_prefix(7);
    } else if (StartsWithNoCase(url, "https://")) {
        url.remove_prefix(8);
    } else {
        return false;
    }
    std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;  // "[]" leaves an empty host, refused below
        host = authority.substr(1, close - 1);
        port = authority.substr(close + 1);
        for (char c : host) {
            if (c != ':' && c != '.' && !IsHostCharacter(c)) return false;
        }
    } else {
        const size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        port = colon == std::string_view::npos ? "" : authority.substr(colon);
        for (char c : host) {
            if (!IsHostCharacter(c)) return false;
        }
    }
    if (host.empty() || host.front() == '-' || host.front() == '.') return false;
    if (port.empty()) return true;
    if (port.size() == 1 || port.size() > 6 || port.front() != ':') return false;
    return port.substr(1).find_first_not_of("0123456789") == std::string_view::npos;
}

bool Refuse(const std::string& url) {
    // Shown so support sees what was typed, but no control character reaches the terminal.
    std::string shown = url.substr(0, 200);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = '?';
    }
    if (!url.empty()) Console("[WARN] Khong mo dia chi khong hop le: " + shown + "\n");
    return false;
}

bool OpenSoundPage(SoundPage page) {
    std::string missingHint;
    if (OpenSoundSettings(page, missingHint)) return true;
    if (!missingHint.empty()) PostNotice("Sonavela - Volume Mixer", missingHint, MessageIcon::Information);
    return false;
}
}  // namespace

std::string UrlEncodeQuery(const std::string& text) {
    std::string encoded;
    for (char c : text) {
        if (IsHostCharacter(c) || c == '_' || c == '~') {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            encoded += hex;
        }
    }
    return encoded;
}

bool IsOpenableUrl(const std::string& url) { return url == kVolumePage || IsWebUrl(url); }

bool IsBraveInstalled() { return !BraveBrowserPath().empty(); }

bool OpenInBrave(const std::string& url) {
    if (!IsWebUrl(url)) return Refuse(url);
    return StartBraveBrowser(url) || OpenWithDesktop(url);
}

bool ShellOpenUrl(const std::string& url) {
    if (url == kVolumePage) return OpenSoundPage(SoundPage::AppVolumes);
    if (!IsWebUrl(url)) return Refuse(url);
    return OpenWithDesktop(url);
}

bool OpenUpdateDownload(const std::string& url) {
    // The link came from the network: only a web address is handed on, never a settings page or a file.
    const bool web = IsWebUrl(url);
    if (web && OpenWithDesktop(url)) return true;
    if (!web) Refuse(url);
    PostNotice("Sonavela - Cap nhat",
               web ? "Khong mo duoc trinh duyet de tai ban cap nhat." : "Link tai ban cap nhat khong hop le.",
               MessageIcon::Warning);
    return false;
}

bool OpenVolumeMixerSettings() { return ShellOpenUrl(std::string(kVolumePage)); }

bool OpenSoundControlPanel() { return OpenSoundPage(SoundPage::ControlPanel); }

bool OpenRecordingsFolder(const std::string& folder) {
    std::string reason;
    std::error_code unknown;
    // Absolute, so that no folder name can be taken for an option of the opener.
    const std::string path = Utf8PathText(std::filesystem::absolute(Utf8Path(folder), unknown));
    if (!EnsureRecordFolder(folder, reason) || unknown || !OpenWithDesktop(path)) {
        PostNotice("Sonavela - Ghi am",
                   "Khong mo duoc thu muc ban thu:\n" + folder + (reason.empty() ? "" : "\n\n" + reason),
                   MessageIcon::Warning);
        return false;
    }
    return true;
}

void ShowInstallHelp(InstallItem item) {
    InstallHelp help = HowToInstall(item);
    if (help.url.starts_with("/")) help.url = "https://" + std::string(MakerWebDomain()) + help.url;
    if (help.url.empty() || !ShellOpenUrl(help.url)) {
        PostNotice(help.caption, help.text.empty() ? "Hay mo trang: " + help.url : help.text, MessageIcon::Information);
    }
}

bool CableCanBeMade() { return SoundServerMakesCable(); }

std::string StudioDriverLimitsNote() { return StudioDriverLimits(); }
