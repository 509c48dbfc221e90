#include "platform/known_paths.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace {
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// An XDG base folder: the variable when it holds an absolute path (the XDG
// rules say to ignore a relative one), else the default under the home.
std::string XdgFolder(const char* variable, const char* underHome) {
    const std::string value = Environment(variable);
    if (IsAbsolute(value)) return value;
    const std::string home = Environment("HOME");
    return home.empty() ? "" : home + underHome;
}

// One line of user-dirs.dirs; xdg-user-dirs writes only the forms
// XDG_DOCUMENTS_DIR="$HOME/..." and XDG_DOCUMENTS_DIR="/...", with
// backslash escapes. Anything else is no answer.
std::string DocumentsEntry(std::string_view line, const std::string& home) {
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with(key)) return "";
    line.remove_prefix(key.size());
    std::string path;
    if (line.starts_with("$HOME/") || line.starts_with("$HOME\"")) {
        if (home.empty()) return "";
        path = home;
        line.remove_prefix(5);
    }
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') return IsAbsolute(path) ? path : "";
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        path += line[i];
    }
    return "";  // no closing quote
}

std::string UserDirsDocuments(const std::string& home) {
    const std::string config = XdgFolder("XDG_CONFIG_HOME", "/.config");
    if (config.empty()) return "";
    std::ifstream file(config + "/user-dirs.dirs");
    std::string line;
    std::string found;
    // The file is a shell include: a later line wins.
    while (std::getline(file, line)) {
        std::string entry = DocumentsEntry(line, home);
        if (!entry.empty()) found = std::move(entry);
    }
    return found;
}
}  // namespace

std::string LocalAppDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

std::string DocumentsFolder() {
    const std::string home = Environment("HOME");
    const std::string documents = UserDirsDocuments(home);
    if (!documents.empty() || home.empty()) return documents;
    return home + "/Documents";
}

std::string TempFolder() {
    const std::string folder = Environment("TMPDIR");
    return !folder.empty() && folder.size() < PATH_MAX ? folder : "/tmp";
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    // A result that fills the buffer may have been cut.
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return "";
    return std::string(buffer, static_cast<size_t>(length));
}

std::string EnvironmentText(const std::string& name) { return Environment(name.c_str()); }
