// The driver adapter over RtAudio on real servers: the PulseAudio test
// server, the JACK dummy server when scripts/test.sh could start one, and
// private servers of a test's own where one has to go away.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/studio_driver.h"
#include "tests/support/shell.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;

constexpr uint32_t kRate = 48000;

struct CallbackCount {
    std::atomic<uint64_t> calls{0};
    std::atomic<uint64_t> nullInputs{0};
};
inline CallbackCount callbackCount;

int CountingCallback(void* output, void* input, unsigned int frames, double, unsigned int, void*) {
    callbackCount.calls.fetch_add(1);
    if (input == nullptr) callbackCount.nullInputs.fetch_add(1);
    std::fill_n(static_cast<float*>(output), frames * 2, 0.0f);
    return 0;
}

bool JackRuns() { return std::getenv("SONAVELA_JACK") != nullptr; }

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// Ids and details in the host's order.
std::vector<DriverInfo> ListDrivers() {
    std::vector<uint32_t> ids;
    std::string reason;
    EXPECT_TRUE(ListDriverIds(ids, reason)) << reason;
    std::vector<DriverInfo> drivers(ids.size());
    for (uint32_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], i) << "ids are 0..n-1";
        EXPECT_TRUE(GetDriverInfo(i, drivers[i], reason)) << reason;
    }
    return drivers;
}

// Devices that left since the listing are passed over.
uint32_t DriverId(const std::string& name) {
    std::vector<uint32_t> ids;
    std::string reason;
    EXPECT_TRUE(ListDriverIds(ids, reason)) << reason;
    for (uint32_t id : ids) {
        DriverInfo info;
        if (GetDriverInfo(id, info, reason) && info.name == name) return id;
    }
    ADD_FAILURE() << "no driver named " << name;
    return UINT32_MAX;
}

bool OpenStream(uint32_t id, bool duplex, uint32_t& frames, std::string& reason) {
    const DriverChannels output{id, 2, 0};
    const DriverChannels input{id, 2, 0};
    return OpenDriverStream(output, duplex ? &input : nullptr, kRate, frames, CountingCallback, reason);
}

void OpenAndStart(uint32_t id, bool duplex, uint32_t& frames) {
    std::string reason;
    ASSERT_TRUE(OpenStream(id, duplex, frames, reason)) << reason;
    ASSERT_TRUE(StartDriverStream(reason)) << reason;
    EXPECT_TRUE(IsDriverStreamOpen());
    EXPECT_TRUE(IsDriverStreamRunning());
}

uint64_t CallsDuring(std::chrono::milliseconds length) {
    const uint64_t before = callbackCount.calls.load();
    std::this_thread::sleep_for(length);
    return callbackCount.calls.load() - before;
}

bool WaitForCalls(uint64_t count) {
    for (int i = 0; i < 300 && callbackCount.calls.load() < count; ++i) std::this_thread::sleep_for(10ms);
    return callbackCount.calls.load() >= count;
}

void StopAndClose() {
    std::string reason;
    EXPECT_TRUE(StopDriverStream(reason)) << reason;
    EXPECT_FALSE(IsDriverStreamRunning());
    EXPECT_EQ(CallsDuring(200ms), 0u) << "the callback ran after the stop";
    CloseDriverStream();
    EXPECT_FALSE(IsDriverStreamOpen());
}

std::string LoadTemporarySink(const std::string& name, const std::string& description) {
    return Trimmed(Shell("pactl load-module module-null-sink sink_name=" + name + " rate=48000 channels=2 " +
                         "\"sink_properties=\\\"device.description='" + description + "'\\\"\""));
}

bool WaitForFailure(std::string& reason) {
    for (int i = 0; i < 500; ++i) {
        if (DriverStreamFailed(reason)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Stop and close return on a failed stream, and the callback stays quiet after them.
void CloseFailedStream() {
    std::string reason;
    const bool stopped = StopDriverStream(reason);
    EXPECT_TRUE(stopped || !reason.empty());
    EXPECT_FALSE(IsDriverStreamRunning());
    EXPECT_EQ(CallsDuring(200ms), 0u) << "the callback ran after the stop";
    CloseDriverStream();
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_FALSE(DriverStreamFailed(reason));
}

// Sets an environment variable for the test's life.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_.has_value()) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class StudioDriverRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "start the test server first (scripts/test.sh does)";
        callbackCount.calls = 0;
        callbackCount.nullInputs = 0;
    }
    void TearDown() override { DestroyDriverHost(); }

    static void CreateHost() {
        std::string reason;
        ASSERT_TRUE(CreateDriverHost(reason)) << reason;
        ASSERT_TRUE(DriverHostExists());
    }
};

TEST_F(StudioDriverRoad, ListsTheSoundServerAsGenericAfterTheDedicatedDrivers) {
    CreateHost();
    const std::vector<DriverInfo> drivers = ListDrivers();
    ASSERT_FALSE(drivers.empty());
    if (JackRuns()) {
        EXPECT_EQ(drivers[0].name, "system");
        EXPECT_FALSE(drivers[0].generic);
        EXPECT_EQ(drivers[0].inputChannels, 2u);
        EXPECT_EQ(drivers[0].outputChannels, 2u);
    }
    bool genericSeen = false;
    for (const DriverInfo& d : drivers) {
        EXPECT_TRUE(d.generic || !genericSeen) << d.name << " comes after a generic driver";
        genericSeen = genericSeen || d.generic;
    }
    for (const char* sink : {"Speakers (High Definition Audio)", "CABLE Input (VB-Audio Virtual Cable)",
                             "Speakers (XOX K10 Audio)", "mic feed (internal)"}) {
        const DriverInfo& d = drivers.at(DriverId(sink));
        EXPECT_TRUE(d.generic) << sink;
        EXPECT_EQ(d.outputChannels, 2u) << sink;
        EXPECT_EQ(d.inputChannels, 0u) << sink;
    }
    for (const char* source : {"Microphone (USB Audio Device)", "Monitor of CABLE Input (VB-Audio Virtual Cable)"}) {
        const DriverInfo& d = drivers.at(DriverId(source));
        EXPECT_TRUE(d.generic) << source;
        EXPECT_EQ(d.outputChannels, 0u) << source;
        EXPECT_EQ(d.inputChannels, 2u) << source;
    }
    EXPECT_EQ(ListDrivers().size(), drivers.size()) << "the list is built once";
}

TEST_F(StudioDriverRoad, AnOutputStreamOnTheSoundServerRunsStopsAndOpensAgain) {
    CreateHost();
    const uint32_t id = DriverId("Speakers (XOX K10 Audio)");
    uint32_t frames = 128;
    OpenAndStart(id, false, frames);
    EXPECT_EQ(frames, 128u);
    // The sound server does not keep a card's block clock (750 per 2 s): allow a wide range.
    const uint64_t calls = CallsDuring(2000ms);
    EXPECT_GT(calls, 150u);
    EXPECT_LT(calls, 3000u);
    EXPECT_EQ(callbackCount.nullInputs.load(), callbackCount.calls.load()) << "output-only";
    StopAndClose();

    frames = 256;
    OpenAndStart(id, false, frames);
    EXPECT_EQ(frames, 256u);
    EXPECT_TRUE(WaitForCalls(callbackCount.calls.load() + 20));
    StopAndClose();
}

TEST_F(StudioDriverRoad, JackDuplexRunsAtTheCardsRate) {
    if (!JackRuns()) GTEST_SKIP() << "no JACK test server (scripts/jack_test_server.sh could not start jackd)";
    CreateHost();
    const uint32_t system = DriverId("system");
    for (uint32_t asked : {64u, 128u}) {
        callbackCount.calls = 0;
        uint32_t frames = asked;
        OpenAndStart(system, true, frames);
        // JACK runs at its own period: the test server's 128 frames.
        EXPECT_EQ(frames, 128u) << "asked " << asked;
        const uint64_t calls = CallsDuring(2000ms);
        EXPECT_GT(calls, 500u) << "asked " << asked;
        EXPECT_LT(calls, 1000u) << "asked " << asked;
        EXPECT_EQ(callbackCount.nullInputs.load(), 0u) << "a duplex callback gets the input";
        StopAndClose();
    }
}

TEST_F(StudioDriverRoad, FailuresComeBackAsAReason) {
    const std::string module = LoadTemporarySink("Tam", "Loa tam thoi");
    ASSERT_FALSE(module.empty());
    CreateHost();
    const uint32_t gone = DriverId("Loa tam thoi");
    const uint32_t speakers = DriverId("Speakers (High Definition Audio)");
    const uint32_t microphone = DriverId("Microphone (USB Audio Device)");
    const uint32_t count = static_cast<uint32_t>(ListDrivers().size());
    Shell("pactl unload-module " + module);

    std::string reason;
    DriverInfo info;
    uint32_t frames = 128;
    EXPECT_FALSE(GetDriverInfo(count, info, reason));
    EXPECT_FALSE(reason.empty());
    reason.clear();
    EXPECT_FALSE(OpenStream(count, false, frames, reason));
    EXPECT_FALSE(reason.empty());
    reason.clear();
    EXPECT_FALSE(GetDriverInfo(gone, info, reason));
    EXPECT_NE(reason.find("Loa tam thoi"), std::string::npos) << reason;
    reason.clear();
    EXPECT_FALSE(OpenStream(gone, false, frames, reason));
    EXPECT_NE(reason.find("Loa tam thoi"), std::string::npos) << reason;
    reason.clear();
    const DriverChannels output{speakers, 2, 0};
    const DriverChannels input{microphone, 2, 0};
    EXPECT_FALSE(OpenDriverStream(output, &input, kRate, frames, CountingCallback, reason));
    EXPECT_FALSE(reason.empty());
    reason.clear();
    EXPECT_FALSE(StartDriverStream(reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(IsDriverStreamOpen());
    EXPECT_FALSE(IsDriverStreamRunning());
    std::vector<uint32_t> ids;
    EXPECT_TRUE(ListDriverIds(ids, reason)) << reason;
    EXPECT_EQ(ids.size(), count) << "ids keep their meaning after a device left";
    EXPECT_TRUE(GetDriverInfo(speakers, info, reason)) << reason;
    EXPECT_EQ(info.name, "Speakers (High Definition Audio)");
}

TEST_F(StudioDriverRoad, ASinkThatGoesAwayFailsTheStreamAndAnotherOneRuns) {
    const std::string module = LoadTemporarySink("Tam", "Loa tam thoi");
    ASSERT_FALSE(module.empty());
    CreateHost();
    const uint32_t speakers = DriverId("Speakers (High Definition Audio)");
    uint32_t frames = 128;
    OpenAndStart(DriverId("Loa tam thoi"), false, frames);
    ASSERT_TRUE(WaitForCalls(20));
    std::string reason;
    EXPECT_FALSE(DriverStreamFailed(reason));
    Shell("pactl unload-module " + module);
    ASSERT_TRUE(WaitForFailure(reason));
    EXPECT_NE(reason.find("Loa tam thoi"), std::string::npos) << reason;
    CloseFailedStream();

    OpenAndStart(speakers, false, frames);
    EXPECT_TRUE(WaitForCalls(callbackCount.calls.load() + 20));
    EXPECT_FALSE(DriverStreamFailed(reason));
    StopAndClose();
}

// Runs a server as a child of the test, so that it is reaped when killed: a
// dead JACK server that lingers as a zombie keeps its slot in JACK's
// registry, which has only a few.
pid_t SpawnServer(std::vector<std::string> arguments, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void EndServer(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 500 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(10ms);
    if (kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
}

// A server of the test's own, so that it can go away.
class ServerLoss : public StudioDriverRoad {
protected:
    void SetUp() override {
        StudioDriverRoad::SetUp();
        char folder[] = "/tmp/sonavela-driver.XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
    }
    void TearDown() override {
        StudioDriverRoad::TearDown();
        StopServer();
        Shell("rm -rf " + dir_);
    }

    // A PulseAudio server with one null sink, "Loa rieng".
    bool StartPulse() {
        std::ofstream(dir_ + "/test.pa")
            << "load-module module-native-protocol-unix socket=" << dir_ << "/native\n"
            << "load-module module-null-sink sink_name=Rieng rate=48000 channels=2 "
               "sink_properties='device.description=\"Loa rieng\"'\n";
        pid_ = SpawnServer({"env", "PULSE_RUNTIME_PATH=" + dir_, "XDG_RUNTIME_DIR=" + dir_, "pulseaudio", "-n", "-F",
                            dir_ + "/test.pa", "--daemonize=no", "--exit-idle-time=-1"},
                           Log());
        server_ = "unix:" + dir_ + "/native";
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            int status = -1;
            Shell("pactl -s " + server_ + " info >/dev/null 2>&1", &status);
            if (status == 0) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // The name is always the same, so that a server left over from a crash is replaced.
    bool StartJack() {
        pid_ = SpawnServer({"env", "JACK_NO_AUDIO_RESERVATION=1", "jackd", "-r", "-n", kJackName, "-d", "dummy", "-r",
                            "48000", "-p", "128"},
                           Log());
        int status = -1;
        Shell(std::string("jack_wait -s ") + kJackName + " -w -t 10 >/dev/null 2>&1", &status);
        return pid_ > 0 && status == 0;
    }

    void StopServer() {
        if (pid_ > 0) EndServer(pid_);
        pid_ = -1;
    }

    std::string Log() const { return dir_ + "/server.log"; }

    void ExpectTheServersEndFailsTheStream(const std::string& driver, bool duplex) {
        CreateHost();
        uint32_t frames = 128;
        OpenAndStart(DriverId(driver), duplex, frames);
        ASSERT_TRUE(WaitForCalls(20));
        StopServer();
        std::string reason;
        ASSERT_TRUE(WaitForFailure(reason));
        EXPECT_FALSE(reason.empty());
        CloseFailedStream();
    }

    static constexpr const char* kJackName = "sonavela-test-gone";
    std::string dir_, server_;
    pid_t pid_ = -1;
};

TEST_F(ServerLoss, ASoundServerThatExitsFailsTheStream) {
    ASSERT_TRUE(StartPulse()) << "the private PulseAudio server did not start:\n" << Shell("cat " + Log());
    const ScopedEnv pulse("PULSE_SERVER", server_);
    ExpectTheServersEndFailsTheStream("Loa rieng", false);
}

TEST_F(ServerLoss, AJackServerThatGoesAwayFailsTheStream) {
    if (!JackRuns()) GTEST_SKIP() << "no JACK on this machine (scripts/jack_test_server.sh could not start jackd)";
    ASSERT_TRUE(StartJack()) << "the private JACK server did not start:\n" << Shell("cat " + Log());
    const ScopedEnv jack("JACK_DEFAULT_SERVER", kJackName);
    ExpectTheServersEndFailsTheStream("system", true);
}
}  // namespace
