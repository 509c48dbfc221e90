#include "persistence/kept_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file_access.h"
#include "platform/file_sync.h"
#include "platform/local_time.h"

namespace fs = std::filesystem;

namespace {
constexpr size_t kDateLength = 15;  // YYYYMMDD_hhmmss

std::string DateStamp() {
    const LocalTime t = LocalTimeNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return stamp;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The date and the number within its second of a backup named by BackUpFile;
// false for any other name, which is never removed.
bool BackupOrder(std::string_view name, std::string_view prefix, std::pair<std::string, int>& order) {
    constexpr std::string_view kEnd = ".bak";
    // An older version's "<name>.<kind>.bak" has the two ends overlapping.
    if (name.size() < prefix.size() + kDateLength + kEnd.size() || !name.starts_with(prefix) || !name.ends_with(kEnd)) {
        return false;
    }
    name.remove_prefix(prefix.size());
    name.remove_suffix(kEnd.size());
    if (name[8] != '_' || !AllDigits(name.substr(0, 8)) || !AllDigits(name.substr(9, 6))) {
        return false;
    }
    order = {std::string(name.substr(0, kDateLength)), 1};
    const std::string_view number = name.substr(kDateLength);
    if (number.empty()) return true;
    if (number[0] != '_' || !AllDigits(number.substr(1))) return false;
    std::from_chars(number.data() + 1, number.data() + number.size(), order.second);
    return true;
}

using Backups = std::vector<std::pair<std::pair<std::string, int>, fs::path>>;

// The backups of one file and kind, oldest first.
Backups ListBackups(const fs::path& folder, const std::string& prefix) {
    Backups backups;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::pair<std::string, int> order;
        if (BackupOrder(Utf8PathText(entry.path().filename()), prefix, order))
            backups.emplace_back(order, entry.path());
    }
    std::sort(backups.begin(), backups.end());
    return backups;
}

// A copy, which a later write into the file in place cannot reach; a second
// name for the file where it cannot be read (it is replaced by a rename right
// after, never written in place). False with `taken` when the name already
// exists, which is never replaced.
bool KeepAs(const fs::path& file, const fs::path& backup, bool& taken) {
    taken = false;
    std::error_code error;
    if (fs::copy_file(file, backup, fs::copy_options::none, error)) return true;
    if (error == std::errc::file_exists) return !(taken = true);
    fs::remove(backup, error);  // a copy cut short by a read error
    return LinkFile(Utf8PathText(file), Utf8PathText(backup), taken);
}
}  // namespace

std::string BackUpFile(const std::string& path, const std::string& kind) {
    std::string resolved;
    if (!ResolveLinks(path, resolved)) return {};
    const fs::path file = Utf8Path(resolved);
    const std::string prefix = Utf8PathText(file.filename()) + "." + kind + ".";
    const std::string date = DateStamp(), stem = prefix + date;
    // Numbered after the newest of this second, so a name freed by the pruning never makes a new backup look old.
    int newest = 0;
    for (const auto& [order, backup] : ListBackups(file.parent_path(), prefix)) {
        if (order.first == date) newest = std::max(newest, order.second);
    }
    for (int n = newest + 1; n <= newest + 1000; ++n) {
        const fs::path backup =
            file.parent_path() / Utf8Path(n == 1 ? stem + ".bak" : stem + "_" + std::to_string(n) + ".bak");
        bool taken = false;
        if (KeepAs(file, backup, taken)) {
            SyncFolderToDisk(Utf8PathText(file.parent_path()));
            const Backups backups = ListBackups(file.parent_path(), prefix);
            std::error_code error;
            for (size_t i = 0; i + kMaxBackups < backups.size(); ++i) fs::remove(backups[i].second, error);
            return Utf8PathText(backup);
        }
        if (!taken) break;
    }
    return {};
}

std::string LoadKeptFile(KeptFile& file, const std::string& path, size_t maxBytes) {
    std::string text;
    file = KeptFile{};
    file.read = ReadTextFile(path, text, maxBytes, &file.reason);
    file.keepBeforeSave = file.read == FileRead::Partial || file.read == FileRead::Unreadable;
    return text;
}

bool SaveKeptFile(KeptFile& file, const std::string& path, const std::string& text) {
    std::error_code error;
    if (file.keepBeforeSave && file.backup.empty() && fs::exists(fs::symlink_status(Utf8Path(path), error))) {
        file.backup = BackUpFile(path, "before_save");
        if (file.backup.empty()) return false;
    }
    return WriteFileAtomically(path, text);
}
