#include "update/update_check.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#include "platform/https_get.h"

namespace {

UpdateCheck& MakeUpdateCheck() {
    UpdateCheck& check = *new UpdateCheck;
    check.server.host = SONAVELA_UPDATE_HOST;
    check.server.path = "/sonavela/update/latest.json";
    return check;
}

const char* const kNoVersion = "File latest.json khong co truong version hop le.";
const char* const kNoConnection = "Khong the ket noi den may chu cap nhat";

struct UpdateDocument {
    std::string version;
    std::string downloadUrl;
    std::string releaseNotes;
    bool mandatory = false;
};

// A member that is absent or not a string reads as empty, so a document
// that is not a JSON object at all has no version.
std::string StringMember(const nlohmann::json& document, const char* name) {
    const auto member = document.find(name);
    return member != document.end() && member->is_string() ? member->get<std::string>() : std::string();
}

UpdateDocument ReadDocument(const std::string& body) {
    UpdateDocument read;
    const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
    if (!document.is_object()) return read;
    read.version = StringMember(document, "version");
    read.downloadUrl = StringMember(document, "download_url");
    read.releaseNotes = StringMember(document, "release_notes");
    const auto mandatory = document.find("mandatory");
    read.mandatory = mandatory != document.end() && mandatory->is_boolean() && mandatory->get<bool>();
    return read;
}

void Fail(const std::string& text) {
    {
        std::lock_guard<std::mutex> guard(updateCheck.updateMutex);
        updateCheck.errorText = text;
    }
    updateCheck.updateState = kUpdateError;
}

}  // namespace

UpdateCheck& updateCheck = MakeUpdateCheck();

void StartUpdateCheck() {
    if (updateCheck.updateState == kUpdateChecking) return;
    {
        std::lock_guard<std::mutex> guard(updateCheck.updateMutex);
        updateCheck.latestVersion.clear();
        updateCheck.downloadUrl.clear();
        updateCheck.releaseNotes.clear();
        updateCheck.mandatory = false;
        updateCheck.errorText.clear();
    }
    // The last worker has written its final state and is only leaving.
    if (updateCheck.worker.joinable()) updateCheck.worker.join();
    updateCheck.cancel = false;
    updateCheck.updateState = kUpdateChecking;
    try {
        updateCheck.worker = std::thread(RunUpdateCheck);
    } catch (const std::system_error& error) {
        Fail(std::string(kNoConnection) + " (" + error.what() + ")");
    }
}

void RunUpdateCheck() {
    HttpsRequest request;
    request.host = updateCheck.server.host;
    request.port = updateCheck.server.port;
    request.path = updateCheck.server.path;
    request.caFile = updateCheck.server.caFile;
    request.cancel = &updateCheck.cancel;
    const HttpsResult answer = HttpGet(request);
    if (!answer.received || answer.status != 200) {
        std::string text =
            answer.received ? "May chu cap nhat tra ve HTTP " + std::to_string(answer.status) : kNoConnection;
        if (answer.errorCode != 0) text += " (" + answer.errorText + ")";
        Fail(text);
        return;
    }
    UpdateDocument document = ReadDocument(answer.body);
    if (document.version.empty()) {
        Fail(kNoVersion);
        return;
    }
    const bool newer = CompareVersions(SONAVELA_VERSION, document.version) < 0;
    {
        std::lock_guard<std::mutex> guard(updateCheck.updateMutex);
        updateCheck.latestVersion = std::move(document.version);
        updateCheck.downloadUrl = std::move(document.downloadUrl);
        updateCheck.releaseNotes = std::move(document.releaseNotes);
        updateCheck.mandatory = document.mandatory;
    }
    updateCheck.updateState = newer ? kUpdateAvailable : kUpdateUpToDate;
}

void StopUpdateCheck() {
    updateCheck.cancel = true;
    // The transfer notices the flag within about a second; 2 s bounds a stuck one.
    // Its final state is the worker's last step, so a worker past it is only leaving.
    for (int waited = 0; waited < 400 && updateCheck.updateState == kUpdateChecking; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!updateCheck.worker.joinable()) return;
    if (updateCheck.updateState != kUpdateChecking) {
        updateCheck.worker.join();
    } else {
        updateCheck.worker.detach();
    }
}

UpdateResult CopyUpdateResult() {
    UpdateResult result;
    result.state = updateCheck.updateState.load();
    std::lock_guard<std::mutex> guard(updateCheck.updateMutex);
    result.latestVersion = updateCheck.latestVersion;
    result.downloadUrl = updateCheck.downloadUrl;
    result.releaseNotes = updateCheck.releaseNotes;
    result.mandatory = updateCheck.mandatory;
    result.errorText = updateCheck.errorText;
    return result;
}

std::vector<uint32_t> ParseVersion(const std::string& text) {
    std::vector<uint32_t> numbers;
    uint32_t current = 0;
    bool digits = false;
    bool ended = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            const uint32_t digit = static_cast<uint32_t>(c - '0');
            // A number too long for 32 bits stays at the largest rather than wrapping to a small one.
            const uint32_t most = std::numeric_limits<uint32_t>::max();
            current = current > (most - digit) / 10 ? most : current * 10 + digit;
            digits = true;
        } else if (c == '.') {
            numbers.push_back(current);
            current = 0;
            digits = false;
        } else {
            if (digits) numbers.push_back(current);
            ended = true;
            break;
        }
    }
    if (!ended) numbers.push_back(current);
    while (numbers.size() < 3) numbers.push_back(0);
    return numbers;
}

int CompareVersions(const std::string& a, const std::string& b) {
    std::vector<uint32_t> left = ParseVersion(a);
    std::vector<uint32_t> right = ParseVersion(b);
    const size_t length = std::max(left.size(), right.size());
    left.resize(length, 0);
    right.resize(length, 0);
    for (size_t i = 0; i < length; ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

const char* MakerWebDomain() { return SONAVELA_MAKER_DOMAIN; }
