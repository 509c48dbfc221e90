#include <algorithm>

#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/kept_file.h"

AppConfig appConfig;
KeptFile configFile;
bool configRecovered = false;
std::string recoveryNotice;

namespace {
// The file this program writes is about a kilobyte; bytes past this bound
// are not read, as if the file ended there.
constexpr size_t kMaxConfigBytes = size_t{4} << 20;

constexpr const char* kRecoveryNotice =
    "Sonavela da phat hien mot vai gia tri cau hinh khong hop le va tu phuc hoi bang gia tri an toan. ";

std::string RecoveryNotice(const std::string& backup) {
    if (backup.empty()) return std::string(kRecoveryNotice) + "Ban sao cu se duoc luu truoc lan ghi dau tien.";
    return kRecoveryNotice + ("Ban sao cu da duoc luu thanh " + backup.substr(backup.find_last_of('/') + 1));
}
}  // namespace

AppConfig DefaultAppConfig() {
    AppConfig config;
    config.recordFolder = GetDefaultRecordingsFolder();
    return config;
}

void LoadConfig() {
    AppConfig loaded = DefaultAppConfig();
    const std::string text = LoadKeptFile(configFile, ConfigPath(), kMaxConfigBytes);
    configRecovered =
        configFile.read != FileRead::Absent && configFile.read != FileRead::Unreadable && !ReadConfigText(text, loaded);
    // The file itself stays as it is; the repaired values reach it at the next save, not before a copy.
    if (configRecovered) {
        configFile.keepBeforeSave = true;
        configFile.backup = BackupConfigFile("recovered");
    }
    recoveryNotice = configRecovered ? RecoveryNotice(configFile.backup) : "";
    appConfig = loaded;
    engine.micChannelMode.exchange(appConfig.micChannel);
    engine.studioMode = std::clamp(appConfig.studioMode, 0, 1);
}
