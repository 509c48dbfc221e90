#include "platform/https_get.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

struct Transfer {
    std::string body;
    bool tooLarge = false;
    const std::atomic<bool>* cancel = nullptr;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer.body.size() + bytes > kHttpsAnswerLimit) {
        transfer.tooLarge = true;
        return 0;  // curl ends the transfer with a write error
    }
    transfer.body.append(data, bytes);
    return bytes;
}

// curl calls this several times a second, also while it waits for the
// network, so a cancel is noticed within about a second at worst.
int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const Transfer& transfer = *static_cast<const Transfer*>(user);
    return transfer.cancel != nullptr && transfer.cancel->load() ? 1 : 0;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The platform's words for an error, in the language of the messages they end up in.
std::string CurlWords(CURLcode code) {
    return "loi curl " + std::to_string(static_cast<int>(code)) + ": " + curl_easy_strerror(code);
}

HttpsResult Failed(CURLcode code, const std::string& words) {
    HttpsResult result;
    result.errorCode = static_cast<uint32_t>(code);
    result.errorText = words;
    return result;
}

}  // namespace

HttpsResult HttpGet(const HttpsRequest& request) {
    InitCurlOnce();
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl) return Failed(CURLE_FAILED_INIT, CurlWords(CURLE_FAILED_INIT));
    curl_slist* headers = curl_slist_append(nullptr, "Accept: application/json");
    headers = headers != nullptr ? curl_slist_append(headers, "Cache-Control: no-cache") : nullptr;
    std::unique_ptr<curl_slist, HeaderListCleanup> headerList(headers);
    if (!headerList) return Failed(CURLE_OUT_OF_MEMORY, CurlWords(CURLE_OUT_OF_MEMORY));

    Transfer transfer;
    transfer.cancel = request.cancel;
    const std::string url = "https://" + request.host + ":" + std::to_string(request.port) + request.path;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, request.caFile.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Sonavela-Update/1.0");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    // Signals are process-wide: a worker thread must not take SIGALRM for its name look-up.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // Time-outs: the name look-up (2.5 s) and the connect (3 s) happen in one
    // phase for curl, TLS handshake included, so that phase gets both. The
    // request is a few hundred bytes that fit in the socket's buffer at once,
    // so sending (3 s) cannot stall on its own; waiting for the answer and
    // every later read (5 s) is a no-progress limit: under 1 byte/s for 5 s ends it.
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 5500L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
    // A server that trickles a byte now and then still cannot hold the worker for ever.
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 30000L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(c);
    if (transfer.tooLarge) return Failed(code, "answer larger than " + std::to_string(kHttpsAnswerLimit) + " bytes");
    // A body cut short after its headers is an error too (curl says "partial file").
    if (code != CURLE_OK) return Failed(code, CurlWords(code));
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    HttpsResult result;
    result.received = true;
    result.status = static_cast<uint32_t>(status);
    result.body = std::move(transfer.body);
    return result;
}
