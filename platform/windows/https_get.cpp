#include "platform/https_get.h"

#include <windows.h>
// After windows.h, which they need.
#include <wincrypt.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file_access.h"
#include "platform/windows/wide_text.h"

namespace {

HttpsResult Failed(DWORD code, std::string words = {}) {
    // Wine passes a socket's time-out through as the socket's own code.
    if (code == WSAETIMEDOUT) code = ERROR_WINHTTP_TIMEOUT;
    HttpsResult result;
    result.errorCode = code;
    result.errorText = words.empty() ? "Windows error " + std::to_string(code) : std::move(words);
    return result;
}

struct CertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

// The first certificate of a PEM file (or a DER one).
Certificate LoadCertificate(const std::string& path) {
    std::FILE* f = OpenFileStream(path, "rb");
    if (f == nullptr) return nullptr;
    std::vector<char> text(kHttpsAnswerLimit);
    const size_t length = std::fread(text.data(), 1, text.size(), f);
    std::fclose(f);
    DWORD size = 0;
    const auto bytes = static_cast<DWORD>(length);
    if (!CryptStringToBinaryA(text.data(), bytes, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        return Certificate(
            CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<BYTE*>(text.data()), bytes));
    }
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(text.data(), bytes, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
        return nullptr;
    }
    return Certificate(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
}

// Whether the server's chain ends at `root`, built by an engine that trusts
// that certificate alone: signatures and dates are checked as for any root.
bool ChainsTo(const CERT_CONTEXT* server, const CERT_CONTEXT* root) {
    HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (roots == nullptr) return false;
    bool trusted = false;
    HCERTCHAINENGINE engine = nullptr;
    CERT_CHAIN_ENGINE_CONFIG config{};
    // The Windows 7 layout: exclusive roots, without the later flags word
    // that older systems (and wine) refuse as a wrong size.
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
    config.hExclusiveRoot = roots;
    if (CertAddCertificateContextToStore(roots, root, CERT_STORE_ADD_ALWAYS, nullptr) &&
        CertCreateCertificateChainEngine(&config, &engine)) {
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof para;
        const CERT_CHAIN_CONTEXT* chain = nullptr;
        if (CertGetCertificateChain(engine, server, nullptr, server->hCertStore, &para, 0, nullptr, &chain)) {
            const DWORD ignored = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
            const CERT_SIMPLE_CHAIN* simple = chain->cChain > 0 ? chain->rgpChain[0] : nullptr;
            const CERT_CONTEXT* top = simple != nullptr && simple->cElement > 0
                                          ? simple->rgpElement[simple->cElement - 1]->pCertContext
                                          : nullptr;
            trusted = (chain->TrustStatus.dwErrorStatus & ~ignored) == 0 && top != nullptr &&
                      CertCompareCertificate(X509_ASN_ENCODING, top->pCertInfo, root->pCertInfo);
            CertFreeCertificateChain(chain);
        }
        CertFreeCertificateChainEngine(engine);
    }
    CertCloseStore(roots, 0);
    return trusted;
}

// The request handle, closed once by whoever ends the transfer first: the
// pinning callback, the cancel watch or the end of HttpGet.
struct RequestHandle {
    std::mutex lock;
    HINTERNET handle = nullptr;

    void Close() {
        std::lock_guard<std::mutex> guard(lock);
        if (handle != nullptr) WinHttpCloseHandle(handle);
        handle = nullptr;
    }
};

// What the request's callback needs: the pinned root, and its verdict.
struct Pinning {
    const CERT_CONTEXT* root = nullptr;
    RequestHandle* request = nullptr;
    bool checked = false;
    bool trusted = false;
};

// Called once the TLS handshake is done and before the request goes out:
// an untrusted server is cut off before it sees a byte of the request.
void CALLBACK OnSending(HINTERNET request, DWORD_PTR context, DWORD status, void*, DWORD) {
    auto* pinning = reinterpret_cast<Pinning*>(context);
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || pinning == nullptr || pinning->checked) return;
    pinning->checked = true;
    const CERT_CONTEXT* server = nullptr;
    DWORD size = sizeof server;
    if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) && server != nullptr) {
        pinning->trusted = ChainsTo(server, pinning->root);
        CertFreeCertificateContext(server);
    }
    // Closing the request is how WinHTTP is told to abandon it: the send fails.
    if (!pinning->trusted) pinning->request->Close();
}

// Closes the request from another thread once the cancel flag is set: a
// blocked WinHTTP call then returns at once.
struct CancelWatch {
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    std::atomic<bool> cancelled{false};
    std::thread thread;

    void Start(const std::atomic<bool>* cancel, RequestHandle& request) {
        if (cancel == nullptr) return;
        thread = std::thread([this, cancel, &request] {
            std::unique_lock<std::mutex> guard(lock);
            while (!done) {
                if (cancel->load()) {
                    cancelled = true;
                    request.Close();
                    return;
                }
                wake.wait_for(guard, std::chrono::milliseconds(50));
            }
        });
    }
    ~CancelWatch() { Stop(); }
    void Stop() {
        {
            std::lock_guard<std::mutex> guard(lock);
            done = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
    }
};

struct Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    RequestHandle request;
    ~Handles() {
        request.Close();
        if (connection != nullptr) WinHttpCloseHandle(connection);
        if (session != nullptr) WinHttpCloseHandle(session);
    }
};

}  // namespace

HttpsResult HttpGet(const HttpsRequest& request) {
    Handles h;
    h.session = WinHttpOpen(L"Sonavela-Update/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (h.session == nullptr) return Failed(GetLastError());
    WinHttpSetTimeouts(h.session, 2500, 3000, 3000, 5000);
    h.connection = WinHttpConnect(h.session, Utf8ToWide(request.host).c_str(), request.port, 0);
    if (h.connection == nullptr) return Failed(GetLastError());
    // Used unlocked on this thread: another thread only ever closes it, and
    // a call on a closed handle fails.
    const HINTERNET r = WinHttpOpenRequest(h.connection, L"GET", Utf8ToWide(request.path).c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (r == nullptr) return Failed(GetLastError());
    h.request.handle = r;
    // The request's own copy of the limits: the session's may not reach it.
    WinHttpSetTimeouts(r, 2500, 3000, 3000, 5000);
    // Waiting for the answer's headers has a limit of its own (90 s by default): the receive limit too.
    DWORD answerLimit = 5000;
    WinHttpSetOption(r, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerLimit, sizeof answerLimit);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(r, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);

    // A certificate of the caller's: only the unknown root is let through by
    // WinHTTP (the host name and dates are still its to check), and the
    // callback accepts the server only when its chain ends at that certificate.
    Pinning pinning;
    Certificate root;
    if (!request.caFile.empty()) {
        root = LoadCertificate(request.caFile);
        if (!root) return Failed(ERROR_WINHTTP_SECURE_INVALID_CA);
        pinning.root = root.get();
        pinning.request = &h.request;
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
        WinHttpSetOption(r, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
        WinHttpSetStatusCallback(r, OnSending, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0);
    }

    CancelWatch watch;
    watch.Start(request.cancel, h.request);
    const auto finish = [&](HttpsResult result) {
        watch.Stop();
        if (watch.cancelled) return Failed(ERROR_WINHTTP_OPERATION_CANCELLED);
        return result;
    };
    auto context = reinterpret_cast<DWORD_PTR>(request.caFile.empty() ? nullptr : &pinning);
    const bool sent = WinHttpSendRequest(r, L"Accept: application/json\r\nCache-Control: no-cache\r\n",
                                         static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, context) != 0;
    const DWORD sendError = sent ? 0 : GetLastError();
    // Refused by the pinning, or (should the callback not have come) never checked.
    if (pinning.root != nullptr && !pinning.trusted && (sent || pinning.checked))
        return finish(Failed(ERROR_WINHTTP_SECURE_INVALID_CA));
    if (!sent) return finish(Failed(sendError));
    if (!WinHttpReceiveResponse(r, nullptr)) return finish(Failed(GetLastError()));

    HttpsResult result;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                             &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return finish(Failed(GetLastError()));
    }
    DWORD promised = 0;
    size = sizeof promised;
    const bool lengthKnown =
        WinHttpQueryHeaders(r, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &promised, &size, WINHTTP_NO_HEADER_INDEX) != 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(r, &available)) return finish(Failed(GetLastError()));
        if (available == 0) break;
        if (result.body.size() + available > kHttpsAnswerLimit) {
            return finish(Failed(ERROR_INSUFFICIENT_BUFFER,
                                 "answer larger than " + std::to_string(kHttpsAnswerLimit) + " bytes"));
        }
        const size_t at = result.body.size();
        result.body.resize(at + available);
        DWORD read = 0;
        if (!WinHttpReadData(r, result.body.data() + at, available, &read)) {
            return finish(Failed(GetLastError()));
        }
        result.body.resize(at + read);
    }
    // A body cut short after its headers is no whole answer.
    if (lengthKnown && result.body.size() < promised) return finish(Failed(ERROR_WINHTTP_INVALID_SERVER_RESPONSE));
    result.received = true;
    result.status = status;
    return finish(std::move(result));
}
