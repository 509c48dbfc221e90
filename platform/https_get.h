#pragma once
// One synchronous HTTPS GET of a small document. Certificates and the host
// name are always checked, redirects are not followed, and only HTTPS is spoken.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// A larger answer is refused: the documents fetched this way are a few hundred bytes.
constexpr size_t kHttpsAnswerLimit = 65536;

struct HttpsRequest {
    std::string host;
    uint16_t port = 443;
    std::string path;
    std::string caFile;                         // empty: the system's trusted certificates
    const std::atomic<bool>* cancel = nullptr;  // once true, the transfer is abandoned
};

struct HttpsResult {
    bool received = false;  // a whole answer arrived, whatever its status
    uint32_t status = 0;
    std::string body;
    uint32_t errorCode = 0;  // the platform's code; 0 when received
    std::string errorText;   // the platform's words for it
};

// Blocks until the answer, an error, a time-out or the cancel flag. May be
// called from any thread.
HttpsResult HttpGet(const HttpsRequest& request);
