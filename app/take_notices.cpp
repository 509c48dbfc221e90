#include "app/take_notices.h"

#include <filesystem>

#include "app/notices.h"
#include "app/takes.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/file_access.h"
#include "recording/recorder.h"
#include "recording/take_repair.h"

namespace {
std::string FileName(const std::string& path) { return Utf8PathText(Utf8Path(path).filename()); }
}  // namespace

bool StopTake() {
    if (StopRecording()) return true;
    PostNotice("Sonavela - Ghi am",
               "Ban thu chua duoc luu tron ven:\n" + recorder.lastSavedPath + "\n\n" + RecordingFailureText(),
               MessageIcon::Warning);
    return false;
}

int32_t RecoverCutTakes() {
    const std::string folder = appConfig.recordFolder.empty() ? GetDefaultRecordingsFolder() : appConfig.recordFolder;
    std::string recovered;
    std::string failed;
    int32_t count = 0;
    for (const TakeRepair& take : RepairCutTakes(folder)) {
        if (take.repaired) {
            recovered += "\n" + FileName(take.path) + " (dai " + TakeLength(take.frames) + ")";
            ++count;
        } else {
            failed += "\n" + FileName(take.path) + ": " + take.reason;
        }
    }
    if (!recovered.empty()) {
        PostNotice("Sonavela - Khoi phuc ban thu",
                   "Da khoi phuc ban thu bi ngat giua chung, trong thu muc " + folder + ":" + recovered,
                   MessageIcon::Information, false);
    }
    if (!failed.empty()) {
        PostNotice("Sonavela - Khoi phuc ban thu",
                   "Khong sua duoc ban thu bi ngat giua chung, trong thu muc " + folder + ":" + failed,
                   MessageIcon::Warning, false);
    }
    return count;
}
