// The ground station's core against one `orvex sim` process over real UDP on 127.0.0.1: the
// records arrive, a route sent over the same socket is stored, and the simulator stops cleanly on
// SIGTERM with its summary. The simulated aircraft's own behaviour (rates, faults, echoes,
// read-back, parameters) and the upload machine are tested in the core, in process.
#include "core/protocol/ProtocolTestSupport.h"
#include "support/OrvexRun.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "protocol/UdpSentenceStep.h"
#include "protocol/Uplink.h"

using namespace orvex;
using namespace orvex::test;

TEST(SimEndToEnd, RecordsArriveAndARouteIsStoredOverUdp)
{
    CTempDir dir("orvex-sim");
    CRecordingSink sink;
    CUdpSentenceStep step(sink);
    // The WiFi end on 127.0.0.1 (a free port); the simulator's port is learnt from its first datagram.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in self{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}}, peer{};
    socklen_t len = sizeof self;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len);
    // Takes in what arrives within `ms` milliseconds.
    const auto pump = [&](int ms) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return;
        uint8_t buf[2048];
        ssize_t n;
        while ((n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&peer), &len)) > 0) {
            step.append(std::span<const uint8_t>(buf, static_cast<std::size_t>(n)));
            step.run(true);
        }
    };
    const auto send = [&](std::span<const uint8_t> frame) {
        ::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    };
    const std::string err = dir.file("stderr.txt");
    const pid_t sim = ::fork();
    if (sim == 0) {
        const std::string bin = std::string(ORVEX_BIN_DIR) + "/orvex";
        const std::string gcs = "127.0.0.1:" + std::to_string(ntohs(self.sin_port));
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT, 0600), 2);
        ::execl(bin.c_str(), bin.c_str(), "sim", "--udp", "--listen", "0", "--gcs", gcs.c_str(), "--rate",
                "20", "--seed", "7", nullptr);
        ::_exit(127);
    }
    struct SCleanup { // the socket, and a simulator still running when the test ends early
        int fd;
        pid_t pid;
        ~SCleanup()
        {
            ::close(fd);
            if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
        }
    } running{fd, sim};
    for (int i = 0; i < 100 && peer.sin_port == 0; ++i)
        pump(100);
    ASSERT_NE(peer.sin_port, 0) << "no record from the simulator";

    for (uint8_t n = 1; n <= 3; ++n)
        send(uplink::waypoint(n, 22.6142f + 0.0004f * n, 113.8431f, 30, 0, 100, 100));
    send(uplink::waypointCount(3));
    const auto stored = [&sink] { return sink.records.empty() ? -1 : sink.records.back().storedWaypointCount(); };
    for (int i = 0; i < 100 && stored() != 3; ++i)
        pump(100);
    EXPECT_EQ(stored(), 3);
    EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "$SETD"), 3) << "answered on the link asked";

    ::kill(sim, SIGTERM);
    int status = -1;
    for (int i = 0; i < 100 && running.pid > 0; ++i, pump(100))
        if (::waitpid(sim, &status, WNOHANG) == sim)
            running.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    pump(300);
    const std::string summary = CTempDir::read(err);
    EXPECT_NE(summary.find("\"stopped_by\":\"SIGTERM\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"stored_waypoints\":3,"), std::string::npos);
    EXPECT_NE(summary.find("\"records_udp\":" + std::to_string(sink.records.size()) + ","), std::string::npos)
        << "every record sent arrived once";
}

TEST(SimEndToEnd, UsageErrorsEndWithStatusTwo)
{
    CTempDir dir("orvex-sim-usage");
    // With a duration, so that a command wrongly accepted ends (with status 0) instead of running on.
    for (const std::string args : {"--duration 1", "--udp --rate 0 --duration 1", "--udp --loss 1.5 --duration 1",
                                   "--udp --gcs nohostport --duration 1"}) {
        const SOrvexRun r = runOrvex("sim " + args, dir.dir());
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("orvex"), std::string::npos) << args;
    }
}
