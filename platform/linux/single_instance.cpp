#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/console.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "ok\n";
// Connections still sending their line; more than this and the oldest is dropped.
constexpr size_t kMaxAsking = 8;

struct Asking {
    int fd = -1;
    std::string received;
};

struct Instance {
    int lockFd = -1;
    int listenFd = -1;  // the first copy's
    std::string socketPath;
    std::vector<Asking> asking;
};
Instance instance;

std::string LockFolder(const std::string& fallbackFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return runtime;
    return fallbackFolder;
}

bool SocketAddress(sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (instance.socketPath.empty() || instance.socketPath.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, instance.socketPath.c_str(), instance.socketPath.size() + 1);
    return true;
}

// The lock, not the socket file, decides who is first; a crashed first
// leaves its socket file behind, so it is replaced.
bool Listen() {
    sockaddr_un address;
    if (!SocketAddress(address)) return false;
    unlink(instance.socketPath.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return false;
    }
    instance.listenFd = fd;
    return true;
}

// Reads what has arrived; true when the connection is done with (a whole
// line, the end, or more than a request).
bool ReadRequest(Asking& a) {
    char buffer[16];
    for (;;) {
        const ssize_t n = read(a.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
        if (n == 0) return true;
        a.received.append(buffer, static_cast<size_t>(n));
        if (a.received.find('\n') != std::string::npos || a.received.size() > sizeof kRequest) return true;
    }
}

bool AskOnce(Clock::time_point deadline) {
    sockaddr_un address;
    if (!SocketAddress(address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    std::string answer;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof kRequest - 1)) {
        // The first answers from its frame loop, which may be busy for a while.
        while (answer.find('\n') == std::string::npos && answer.size() < sizeof kAnswer) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd waiting{fd, POLLIN, 0};
            if (left <= 0 || poll(&waiting, 1, static_cast<int>(left)) <= 0) break;
            char buffer[8];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            answer.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    return answer == kAnswer;
}
}  // namespace

InstanceClaim ClaimSingleInstance(const std::string& fallbackFolder, std::string& reason) {
    ReleaseSingleInstance();
    const std::string folder = LockFolder(fallbackFolder);
    if (folder.empty()) {
        reason = "no folder for the lock file";
        return InstanceClaim::Failed;
    }
    const std::string lockPath = folder + "/sonavela-studio.lock";
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        reason = lockPath + ": " + std::strerror(errno);
        return InstanceClaim::Failed;
    }
    int locked = flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR) locked = flock(fd, LOCK_EX | LOCK_NB);
    instance.socketPath = folder + "/sonavela-studio.sock";
    if (locked != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return InstanceClaim::Second;
        instance.socketPath.clear();
        reason = lockPath + ": " + std::strerror(error);
        return InstanceClaim::Failed;
    }
    // The lock file stays on disk: removing it would let two copies lock two different files.
    instance.lockFd = fd;
    if (!Listen())
        Console("[WARN] Khong mo duoc " + instance.socketPath + ": lan mo sau se khong goi duoc cua so nay.\n");
    return InstanceClaim::First;
}

bool AskFirstInstanceToRaise(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // The first copy may hold the lock but not yet listen: keep knocking.
    for (;;) {
        if (AskOnce(deadline)) return true;
        if (Clock::now() + std::chrono::milliseconds(50) >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool TakeRaiseRequest() {
    if (instance.listenFd < 0) return false;
    for (;;) {
        const int fd = accept4(instance.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR) continue;
        if (fd < 0) break;
        if (instance.asking.size() == kMaxAsking) {
            close(instance.asking.front().fd);
            instance.asking.erase(instance.asking.begin());
        }
        instance.asking.push_back({fd, ""});
    }
    bool raise = false;
    for (auto a = instance.asking.begin(); a != instance.asking.end();) {
        if (!ReadRequest(*a)) {
            ++a;
            continue;
        }
        if (a->received == kRequest) {
            raise = true;
            send(a->fd, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        close(a->fd);
        a = instance.asking.erase(a);
    }
    return raise;
}

void ReleaseSingleInstance() {
    for (const Asking& a : instance.asking) close(a.fd);
    if (instance.listenFd >= 0) {
        close(instance.listenFd);
        unlink(instance.socketPath.c_str());  // before the lock goes, so it is never a newer first's
    }
    if (instance.lockFd >= 0) close(instance.lockFd);
    instance = Instance{};
}
