#include "platform/folder_picker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/linux/spawn_child.h"

namespace {
// A path is short; more than this is not an answer we could use.
constexpr size_t kMaxAnswer = 64 * 1024;

struct Chooser {
    pid_t child = -1;
    int answerFd = -1;  // read end of the child's standard output, non-blocking
    std::string answer;
};
Chooser chooser;

void DrainAnswer() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(chooser.answerFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nothing more for now, or the end
        if (chooser.answer.size() < kMaxAnswer) chooser.answer.append(buffer, static_cast<size_t>(n));
    }
}

void Forget() {
    close(chooser.answerFd);
    chooser = Chooser{};
}
}  // namespace

bool StartFolderPick(const std::string& title, const std::string& startFolder, std::string& reason) {
    if (chooser.child > 0) {
        reason = "a folder chooser is already open";
        return false;
    }
    const std::string zenity = LookUpProgram("zenity");
    if (zenity.empty()) {
        reason = "zenity is not installed";
        return false;
    }
    // Each value rides in its option's own argument, so a folder starting with "-" stays a folder.
    std::vector<std::string> arguments = {"zenity", "--file-selection", "--directory", "--title=" + title};
    if (!startFolder.empty()) arguments.push_back("--filename=" + startFolder + "/");
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0 || fcntl(ends[0], F_SETFL, O_NONBLOCK) != 0) {
        reason = "no pipe for the folder chooser";
        return false;
    }
    ChildSetup setup;
    setup.outputFd = ends[1];
    setup.quiet = true;  // the toolkit's chatter is no line for the console
    pid_t child = -1;
    const bool started = SpawnChild(zenity, arguments, setup, child, reason);
    close(ends[1]);
    if (!started) {
        close(ends[0]);
        return false;
    }
    chooser.child = child;
    chooser.answerFd = ends[0];
    return true;
}

FolderPick PollFolderPick(std::string& folder) {
    if (chooser.child <= 0) return FolderPick::Idle;
    DrainAnswer();
    int status = 0;
    pid_t ended = waitpid(chooser.child, &status, WNOHANG);
    while (ended < 0 && errno == EINTR) ended = waitpid(chooser.child, &status, WNOHANG);
    if (ended == 0) return FolderPick::Running;
    DrainAnswer();  // what it wrote just before it ended
    std::string answer = std::move(chooser.answer);
    Forget();
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    const bool chosen = ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && !answer.empty();
    if (!chosen) return FolderPick::Cancelled;
    folder = answer;
    return FolderPick::Chosen;
}

void CancelFolderPick() {
    if (chooser.child <= 0) return;
    kill(chooser.child, SIGTERM);
    // Half a second to go, then killed: exit never hangs on it.
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i) {
        gone = waitpid(chooser.child, nullptr, WNOHANG) != 0;
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!gone) {
        kill(chooser.child, SIGKILL);
        waitpid(chooser.child, nullptr, 0);
    }
    Forget();
}
