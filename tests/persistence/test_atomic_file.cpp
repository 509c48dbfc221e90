// Replacing a kept file: whatever happens during a save (the process killed
// at any moment, the disk refusing more bytes), the file on disk is always
// a complete old or new version and no temporary file is left behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "persistence/atomic_file.h"

namespace {
namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    fs::path dir;
    std::string path;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("sonavela-atomic-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        path = (dir / "sonavela_config.txt").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Contents() const {
        std::string text;
        EXPECT_TRUE(ReadTextFile(path, text, 1 << 24));
        return text;
    }
};

// A version whose every byte says which one it is, with an end marker, so
// any mix or cut of two versions is recognisable.
std::string Version(char tag, size_t bytes) { return std::string(bytes, tag) + "\nend\n"; }

TEST_F(AtomicFile, ReplacesTheFileWholeAndLeavesNoTemporary) {
    ASSERT_TRUE(WriteFileAtomically(path, Version('a', 100)));
    ASSERT_TRUE(WriteFileAtomically(path, Version('b', 10)));
    EXPECT_EQ(Contents(), Version('b', 10));
    EXPECT_FALSE(fs::exists(path + ".partial"));
    ASSERT_TRUE(WriteFileAtomically(path, ""));
    EXPECT_EQ(Contents(), "");
}

TEST_F(AtomicFile, KilledAtAnyMomentTheFileIsAlwaysAWholeVersion) {
    const std::string a = Version('a', 300000), b = Version('b', 200000);
    ASSERT_TRUE(WriteFileAtomically(path, a));
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> wait(0, 30000);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) WriteFileAtomically(path, i % 2 ? a : b);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(wait(rng)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = Contents();
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        (now == a ? sawA : sawB)++;
    }
    // The kills landed at different moments of the loop.
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);
}

TEST_F(AtomicFile, AFullDiskKeepsThePreviousFile) {
    const std::string before = Version('a', 100);
    ASSERT_TRUE(WriteFileAtomically(path, before));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit makes the write fail part way, as a full disk does.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(WriteFileAtomically(path, Version('b', 1 << 20)) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the failed write must be reported";
    EXPECT_EQ(Contents(), before);
    EXPECT_FALSE(fs::exists(path + ".partial"));
}

TEST_F(AtomicFile, NowhereToWriteIsReportedAndHarmless) {
    EXPECT_FALSE(WriteFileAtomically((dir / "missing" / "x.txt").string(), "x"));
    fs::create_directories(path);  // a folder where the file should be
    EXPECT_FALSE(WriteFileAtomically(path, "x"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(fs::exists(path + ".partial"));
}

TEST_F(AtomicFile, ReadingTakesOnlyFilesAndStopsAtItsBound) {
    std::string text;
    EXPECT_FALSE(ReadTextFile(path, text, 100));  // absent
    EXPECT_FALSE(ReadTextFile(dir.string(), text, 100));
    ASSERT_TRUE(WriteFileAtomically(path, std::string("a\0b\r\nc", 6) + std::string(200000, 'z')));
    ASSERT_TRUE(ReadTextFile(path, text, 100000));
    EXPECT_EQ(text.size(), 100000u);
    EXPECT_EQ(text.substr(0, 6), std::string("a\0b\r\nc", 6));
}
}  // namespace
