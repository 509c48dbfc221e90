#include "tests/persistence/fresh_process.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace fs = std::filesystem;

bool FreshProcessTest::InFreshProcess() {
    if (const char* fresh = std::getenv("SONAVELA_TEST_ROOT")) {
        root = fresh;
        WriteFile(root / "ran", "");  // else a filter that matched no test would pass
        return true;
    }
    std::string made = (fs::temp_directory_path() / "sonavela-test-XXXXXX").string();
    if (mkdtemp(made.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder: " << std::strerror(errno);
        return false;
    }
    root = made;
    for (const char* folder : {"bin", "home", "data", "config", "tmp", "work"}) fs::create_directories(root / folder);
    const fs::path program = root / "bin" / "program";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), program);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name(), r = root.string();
    const std::string filter = "--gtest_filter=" + name;
    std::string environment[] = {"SONAVELA_TEST_ROOT=" + r, "HOME=" + r + "/home", "XDG_DATA_HOME=" + r + "/data",
                                 "XDG_CONFIG_HOME=" + r + "/config", "TMPDIR=" + r + "/tmp"};
    char* envp[std::size(environment) + 1] = {};
    std::transform(std::begin(environment), std::end(environment), envp, [](std::string& e) { return e.data(); });
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(30);  // kept across exec: a hang fails the test
        bool ready = chdir((root / "work").c_str()) == 0;
        if (geteuid() == 0) {  // root reads any file whatever its mode: the body runs as "nobody", owning its folders
            const uid_t nobody = 65534;
            for (const auto& entry : fs::recursive_directory_iterator(root))
                ready = ready && lchown(entry.path().c_str(), nobody, nobody) == 0;
            ready = ready && lchown(root.c_str(), nobody, nobody) == 0 && setgroups(0, nullptr) == 0 &&
                    setgid(nobody) == 0 && setuid(nobody) == 0;
        }
        if (ready) execle(program.c_str(), program.c_str(), filter.c_str(), "--gtest_brief=1", nullptr, envp);
        _exit(127);
    }
    int status = 0;
    const bool exited = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    EXPECT_TRUE(exited && WEXITSTATUS(status) == 0 && fs::exists(root / "ran")) << name << " failed in a fresh process";
    fs::remove_all(root);
    return false;
}
