#include <algorithm>

#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"

AppConfig appConfig;
bool configRecovered = false;
std::string recoveryNotice;

namespace {
// The file this program writes is about a kilobyte; bytes past this bound
// are not read, as if the file ended there.
constexpr size_t kMaxConfigBytes = size_t{4} << 20;

constexpr const char* kRecoveryNotice =
    "Sonavela da phat hien mot vai gia tri cau hinh khong hop le va tu phuc hoi bang gia tri an toan. "
    "Ban sao cu da duoc luu thanh sonavela_config.txt.recovered.bak";
}  // namespace

AppConfig DefaultAppConfig() {
    AppConfig config;
    config.recordFolder = GetDefaultRecordingsFolder();
    return config;
}

void LoadConfig() {
    AppConfig loaded = DefaultAppConfig();
    std::string text;
    const bool present = ReadTextFile(ConfigPath(), text, kMaxConfigBytes);
    configRecovered = present && !ReadConfigText(text, loaded);
    recoveryNotice = configRecovered ? kRecoveryNotice : "";
    // The file itself stays as it is; the repaired values reach it at the next save.
    if (configRecovered) BackupConfigFile(".recovered.bak");
    appConfig = loaded;
    engine.micChannelMode.exchange(appConfig.micChannel);
    engine.studioMode = std::clamp(appConfig.studioMode, 0, 1);
}

bool SaveConfig() {
    AppConfig saved = appConfig;
    saved.micChannel = engine.micChannelMode;  // the live value the interface changes
    return WriteFileAtomically(ConfigPath(), WriteConfigText(saved));
}
