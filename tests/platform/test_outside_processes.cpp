// Other programs for real: fake "xdg-open" and "zenity" scripts first on PATH
// record their arguments, and a forked copy races for the single instance.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include "app/outside_world.h"
#include "platform/folder_picker.h"
#include "platform/launch.h"
#include "platform/single_instance.h"
#include "recording/record_folder.h"

namespace {
namespace fs = std::filesystem;

void Nap() { usleep(10000); }

class OutsidePrograms : public ::testing::Test {
protected:
    std::string folder = (fs::temp_directory_path() / "sonavela-outside-XXXXXX").string();
    const std::string oldPath = std::getenv("PATH");
    void SetUp() override {
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        setenv("PATH", (folder + ":" + oldPath).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        fs::remove_all(folder);  // ends the fakes still waiting for it
    }
    // A program that writes its arguments, one a line, to <folder>/<name>.args, then runs `then`.
    void Fake(const std::string& name, const std::string& then) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >" + path + ".p\nmv " + path + ".p " + path +
                                   ".args\n" + then;
        fs::permissions(path, fs::perms::owner_all);
    }
    // The bounds only keep a fake that never ran, or a poll that blocked, from hanging the test.
    std::string Arguments(const std::string& name) {
        const std::string path = folder + "/" + name + ".args";
        for (int i = 0; i < 1000 && !fs::exists(path); ++i) Nap();
        return {std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}};
    }
    static FolderPick Outcome(std::string& chosen) {
        FolderPick outcome = FolderPick::Running;
        for (int i = 0; i < 1000 && (outcome = PollFolderPick(chosen)) == FolderPick::Running; ++i) Nap();
        return outcome;
    }
};

TEST_F(OutsidePrograms, AnAddressReachesTheBrowserAsOneArgumentAndNoShellRunsIt) {
    Fake("xdg-open", "");
    const std::string touch = "touch${IFS}" + folder + "/ran";
    const std::string url = "https://x.com/?q=$(" + touch + ");" + touch + "&w=`" + touch + "`|" + touch;
    ASSERT_TRUE(ShellOpenUrl(url));
    EXPECT_EQ(Arguments("xdg-open"), url + "\n");
    EXPECT_FALSE(fs::exists(folder + "/ran"));
}

TEST_F(OutsidePrograms, TheFolderChooserIsPolledWithoutBlockingAndTellsItsOutcomeOnce) {
    // It answers once the test made "go", or after 10 s when a blocking poll let the test go on.
    Fake("zenity", "i=0; while [ ! -e " + folder + "/go ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n" +
                       "echo '/home/s/-odd folder'");
    std::string chosen = "unchanged";
    std::string reason;
    ASSERT_TRUE(StartRecordFolderPick("/music/-takes", reason)) << reason;
    EXPECT_FALSE(StartFolderPick("again", "", reason)) << "one chooser at a time";
    EXPECT_EQ(PollFolderPick(chosen), FolderPick::Running);
    EXPECT_EQ(Arguments("zenity"),
              "--file-selection\n--directory\n--title=Chon thu muc luu ban thu Sonavela\n--filename=/music/-takes/\n");
    std::ofstream(folder + "/go").put('\n');
    EXPECT_TRUE(Outcome(chosen) == FolderPick::Chosen && chosen == "/home/s/-odd folder") << chosen;
    EXPECT_EQ(PollFolderPick(chosen), FolderPick::Idle);
    Fake("zenity", "echo /not/taken; exit 1");
    ASSERT_TRUE(StartFolderPick("t", "", reason));
    EXPECT_TRUE(Outcome(chosen) == FolderPick::Cancelled && PollFolderPick(chosen) == FolderPick::Idle &&
                chosen == "/home/s/-odd folder");
}

TEST_F(OutsidePrograms, ASecondStartRaisesTheFirstAndAKilledFirstLeavesNoClaimBehind) {
    unsetenv("XDG_RUNTIME_DIR");  // the fallback folder, then
    Fake("lingering", "while [ -d " + folder + " ]; do sleep 0.1; done");
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t first = fork();
    if (first == 0) {  // claims, starts a program that outlives it, then serves its frames
        alarm(30);     // ends on its own when the test fails before it kills it
        std::string why;
        const bool claimed =
            ClaimSingleInstance(folder, why) == InstanceClaim::First && LaunchProgram({"lingering"}, why);
        for (bool told = write(report[1], claimed ? "F" : "x", 1) == 1; told; Nap())
            told = !TakeRaiseRequest() || write(report[1], "R", 1) == 1;
        _exit(1);
    }
    close(report[1]);
    char heard[2] = {};
    EXPECT_TRUE(read(report[0], heard, 1) == 1 && heard[0] == 'F');
    std::string reason;
    EXPECT_EQ(ClaimSingleInstance(folder, reason), InstanceClaim::Second);
    EXPECT_TRUE(AskFirstInstanceToRaise(3000) && read(report[0], heard + 1, 1) == 1 && heard[1] == 'R');
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    // Its lock went with it, though a program it started lives on; its socket file stays behind.
    EXPECT_TRUE(fs::exists(folder + "/sonavela-studio.sock"));
    EXPECT_EQ(ClaimSingleInstance(folder, reason), InstanceClaim::First) << reason;
    std::future<bool> asked = std::async(std::launch::async, [] { return AskFirstInstanceToRaise(3000); });
    bool raised = false;
    for (int i = 0; i < 1000 && !raised; ++i, Nap()) raised = TakeRaiseRequest();
    EXPECT_TRUE(raised && asked.get());
    ReleaseSingleInstance();
    EXPECT_FALSE(fs::exists(folder + "/sonavela-studio.sock"));
}
}  // namespace
