#pragma once
// The update check: one background GET of the maker's "latest.json", its
// version compared with ours. The window polls the state each frame.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where the document is fetched from. The build's configuration gives the
// real server; only tests point it elsewhere.
struct UpdateServer {
    std::string host;
    uint16_t port = 443;
    std::string path;
    std::string caFile;  // empty: the system's trusted certificates
};

enum UpdateStateValue : int32_t {
    kUpdateIdle = 0,
    kUpdateChecking = 1,
    kUpdateUpToDate = 2,
    kUpdateAvailable = 3,
    kUpdateError = 4,
};

struct UpdateCheck {
    // Written by the worker after the strings are complete; read without the mutex.
    std::atomic<int32_t> updateState{kUpdateIdle};
    std::mutex updateMutex;  // guards the five fields below
    std::string latestVersion;
    std::string downloadUrl;
    std::string releaseNotes;
    bool mandatory = false;
    std::string errorText;
    // Raised at the program's end so a transfer in flight gives up.
    std::atomic<bool> cancel{false};
    // Joined, not detached: the Windows thread library now and then loses a
    // detached thread that ends quickly, and the check would never end.
    std::thread worker;   // the window's thread starts, joins and stops it
    UpdateServer server;  // read by the worker when it starts
};

// Allocated once and never destroyed: a worker still running while the
// process exits must not write into freed strings.
extern UpdateCheck& updateCheck;

// What the window shows, copied in one go.
struct UpdateResult {
    int32_t state = 0;
    std::string latestVersion;
    std::string downloadUrl;
    std::string releaseNotes;
    bool mandatory = false;
    std::string errorText;
};

// Clears the last result, joins the finished worker and starts the next;
// does nothing while a check runs.
void StartUpdateCheck();
// The worker's body: fetches, reads and compares, and ends in state 2, 3 or 4.
void RunUpdateCheck();
// For the program's end: cancels a running check and waits for its worker,
// about 2 s at most, so the network libraries are not torn down under it;
// a worker still stuck after that is left to the process's exit.
void StopUpdateCheck();
// The state first, then the strings under the mutex: a state of 2, 3 or 4
// guarantees they are complete.
UpdateResult CopyUpdateResult();

// Dotted numbers; anything after the last digit that is not a dot ends the
// walk ("1.2.3-beta" is 1, 2, 3). Always at least three numbers.
std::vector<uint32_t> ParseVersion(const std::string& text);
// -1, 0 or 1 as a is older than, the same as or newer than b, number by number.
int CompareVersions(const std::string& a, const std::string& b);

// The maker's web domain shown beside the current version.
const char* MakerWebDomain();
