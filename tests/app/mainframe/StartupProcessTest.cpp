// orvex-gcs as a process: the command line, the registration switches that end it at once, and
// SIGTERM/SIGINT closing it like the close sequence (settings written, exit code 0).
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/shell/CommandLine.h"

extern char** environ;

using namespace orvex;

namespace {

int freePort(int type)
{
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Starts `program` (orvex-gcs or orvex) with `args` and the environment settings given ("NAME=value";
// they come first, so they win over the inherited ones); descriptor `fd` goes to `path` when given.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, std::vector<std::string> env,
            const std::string& path = {}, int fd = 2)
{
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    const std::string bin = std::string(ORVEX_BIN_DIR) + "/" + program;
    std::vector<char*> argv{const_cast<char*>(bin.c_str())}, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    for (std::string& e : env)
        envp.push_back(e.data());
    argv.push_back(nullptr), envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!path.empty())
        ::posix_spawn_file_actions_addopen(&actions, fd, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Polls `done` until it holds or the time is up; its last answer.
bool within(std::chrono::seconds timeout, const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (done()) return true;
    return false;
}

// Waits for the process to end; -1 after the time-out (the process is then killed).
int waitExit(pid_t pid, std::chrono::seconds timeout)
{
    int status = 0;
    if (within(timeout, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; }))
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// True once the process catches the signal (its handler is installed).
bool catches(pid_t pid, int signalNumber)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16) & (1ULL << (signalNumber - 1));
    return false;
}

} // namespace

TEST(CommandLine, ActionsValuesAndDefaultsOfTheOptions)
{
    using A = SCommandLine::EAction;
    const std::pair<std::vector<std::string>, A> rows[] = {
        // Registration switches end at once, in any case, after "-" or "/".
        {{"/RegServer"}, A::EndAtOnce}, {{"-unregserver"}, A::EndAtOnce}, {{"--no-splash", "/REGSERVER"}, A::EndAtOnce},
        {{"-Embedding"}, A::EndAtOnce}, {{"RegServer"}, A::Run}, {{"/RegServerX"}, A::Run}, {{}, A::Run},
        {{"--help"}, A::Help}, {{"--udp-port", "0"}, A::Error}, {{"--udp-port", "65536"}, A::Error},
        {{"--http-port", "80x"}, A::Error}, {{"--wifi-port"}, A::Error}, {{"--connect", "bluetooth"}, A::Error},
        {{"--home"}, A::Error}};
    for (const auto& [args, action] : rows)
        EXPECT_EQ(parseCommandLine(args).action, action) << (args.empty() ? "" : args.back());

    using C = SCommandLine::EConnect;
    const SCommandLine cl = parseCommandLine({"--home", "/tmp/h", "--connect", "serial:/dev/ttyUSB0", "--no-splash",
                                              "--udp-port=9100", "--wifi-port", "56000", "--http-port", "8080",
                                              "--replay", "a.hj", "--frobnicate=1", "--platform", "offscreen"});
    // An unknown option is ignored and named; Qt's own options are left to Qt.
    EXPECT_EQ(std::tuple(cl.action, cl.home, cl.connect, cl.connectTarget, cl.splash, cl.replayFile, cl.ignored),
              std::tuple(SCommandLine::EAction::Run, "/tmp/h", C::Serial, "/dev/ttyUSB0", false, "a.hj", std::vector<std::string>{"--frobnicate=1"}));
    EXPECT_EQ(std::tuple(cl.udpPort, cl.wifiPort, cl.httpPort), std::tuple(9100, 56000, 8080));
    const SCommandLine d = parseCommandLine({});
    EXPECT_EQ(std::tuple(d.splash, d.udpPort, d.wifiPort, d.httpPort), std::tuple(true, 9000, 55555, 8001));
    const SCommandLine wifi = parseCommandLine({"--connect=wifi:192.168.4.1"});
    EXPECT_EQ(std::tuple(wifi.connect, wifi.connectTarget), std::tuple(C::Wifi, "192.168.4.1"));
    EXPECT_EQ(parseCommandLine({"--connect", "serial"}).connectTarget, "");
}

TEST(StartupProcess, RegServerEndsWithoutAWindowOrAnySettingsFile)
{
    CTempDir home;
    // No display and a platform that cannot start: reaching the window would fail.
    const pid_t pid = spawn("orvex-gcs", {"--home", home.path(), "/RegServer"}, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitExit(pid, std::chrono::seconds(10)), 0);
    EXPECT_FALSE(std::filesystem::exists(home.path() + "Korva.ini"));
}

// INT once the window is up, TERM while the splash picture is (it is up for three seconds): both
// close like the close sequence; an unknown option is only named.
TEST(StartupProcess, TermAndIntCloseLikeTheCloseSequenceEvenDuringTheSplash)
{
    for (const auto& [sig, splash] : {std::pair{SIGINT, "--no-splash"}, std::pair{SIGTERM, "--frobnicate"}}) {
        CTempDir home;
        const std::string err = home.path() + "stderr.txt";
        const pid_t pid = spawn("orvex-gcs", {"--home", home.path(), splash, "--frobnicate", "--udp-port",
                                              std::to_string(freePort(SOCK_DGRAM)), "--http-port", std::to_string(freePort(SOCK_STREAM))},
                                {"QT_QPA_PLATFORM=offscreen", "QTWEBENGINE_DISABLE_SANDBOX=1"}, err);
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(within(std::chrono::seconds(60), [&] { return catches(pid, sig); })) << "no handler: killed below";
        ::kill(pid, sig);
        EXPECT_EQ(waitExit(pid, std::chrono::seconds(30)), 0) << "signal " << sig;
        EXPECT_NE(CTempDir::read(home.path() + "Korva.ini").find("Position=" + std::string(32, 'P')), std::string::npos)
            << "signal " << sig;
        EXPECT_NE(CTempDir::read(err).find("orvex-gcs: unknown option --frobnicate ignored\n"), std::string::npos);
    }
}

// Started with the WiFi link against an aircraft that is already sending, on a loaded machine, the
// program receives its telemetry every time (it once went deaf in one start out of two: the socket,
// bound early, filled up while nothing read it).
TEST(StartupProcess, WifiStartedAgainstASendingAircraftReceivesEveryTime)
{
    // Two threads that keep both cores busy while the program starts; they stop when they go.
    std::vector<std::jthread> load;
    for (int i = 0; i < 2; ++i)
        load.emplace_back([](std::stop_token stop) {
            while (!stop.stop_requested()) {
            }
        });
    for (int start = 0; start < 3; ++start) {
        CTempDir home;
        const std::string gcsPort = std::to_string(freePort(SOCK_DGRAM));
        const std::string simPort = std::to_string(freePort(SOCK_DGRAM));
        struct SSim {
            pid_t pid;
            ~SSim()
            {
                if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
            }
        } sim{spawn("orvex", {"sim", "--udp", "--rate", "20", "--listen", simPort, "--gcs", "127.0.0.1:" + gcsPort},
                    {}, "/dev/null", 1)};
        ASSERT_GT(sim.pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the aircraft is sending first
        const pid_t gcs = spawn("orvex-gcs", {"--home", home.path(), "--no-splash", "--connect", "wifi:127.0.0.1", "--udp-port",
                                              gcsPort, "--wifi-port", simPort, "--http-port", std::to_string(freePort(SOCK_STREAM))},
                                {"QT_QPA_PLATFORM=offscreen", "QTWEBENGINE_DISABLE_SANDBOX=1"});
        ASSERT_GT(gcs, 0);
        // The flight log is written every five seconds: a record in it proves the telemetry arrived.
        const bool received = within(std::chrono::seconds(30), [&] {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(home.path() + "Hj", ec))
                if (entry.file_size(ec) >= 99) return true;
            return false;
        });
        ::kill(gcs, SIGTERM);
        EXPECT_EQ(waitExit(gcs, std::chrono::seconds(30)), 0);
        EXPECT_TRUE(received) << "start " << start << ": no record reached the flight log";
    }
}
