#include <chrono>
#include <thread>

#include "platform/https_get.h"
#include "platform/scripted/scripted_platform.h"

HttpsResult HttpGet(const HttpsRequest& request) {
    {
        std::lock_guard<std::mutex> guard(scripted.https.lock);
        scripted.https.requests.push_back(request);
    }
    while (scripted.https.hold && !(request.cancel != nullptr && request.cancel->load())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard<std::mutex> guard(scripted.https.lock);
    if (scripted.https.answers.empty()) {
        HttpsResult failed;
        failed.errorCode = 1;
        failed.errorText = "scripted: no answer queued";
        return failed;
    }
    HttpsResult answer = scripted.https.answers.front();
    scripted.https.answers.pop_front();
    return answer;
}
