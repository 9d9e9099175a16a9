#pragma once
// Helpers of the end-to-end tests: `orvex sim` as a child process, and the ground station's side
// built from the core (UDP sentence step or serial parsing cycle, record store, flight log writer).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "flightlog/FlightLogWriter.h"
#include "flightlog/RecordStore.h"
#include "protocol/DownlinkSink.h"
#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"

namespace orvex::simtest {

inline int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// An integer field of the one-line JSON summary the simulator prints on exit; -1 when missing.
inline long long summaryInt(const std::string& text, const std::string& key)
{
    const std::string k = "\"" + key + "\":";
    const auto at = text.rfind(k);
    if (at == std::string::npos) return -1;
    return std::strtoll(text.c_str() + at + k.size(), nullptr, 10);
}

class CSimProcess {
  public:
    CSimProcess() = default;
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;
    ~CSimProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        closeFd(m_out);
        closeFd(m_err);
    }

    bool start(const std::vector<std::string>& args)
    {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return false;
        const std::string bin = std::string(ORVEX_BIN_DIR) + "/orvex";
        std::vector<std::string> all = {bin, "sim"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::close_range(3, ~0u,
                          0); // nothing of the test's (pseudo-terminals, sockets) stays open in the child
            ::execv(bin.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
        ::fcntl(m_err, F_SETFL, O_NONBLOCK);
        return m_pid > 0;
    }

    // Waits for a line of standard output containing `marker`; returns the text after it.
    std::optional<std::string> waitFor(const std::string& marker, int timeoutMs = 5000)
    {
        const int64_t end = nowMs() + timeoutMs;
        for (;;) {
            std::size_t nl;
            while ((nl = m_outText.find('\n')) != std::string::npos) {
                const std::string line = m_outText.substr(0, nl);
                m_outText.erase(0, nl + 1);
                const auto at = line.find(marker);
                if (at != std::string::npos) return line.substr(at + marker.size());
            }
            const int64_t left = end - nowMs();
            if (left <= 0) return std::nullopt;
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) > 0) {
                char buf[512];
                const ssize_t n = ::read(m_out, buf, sizeof buf);
                if (n <= 0) return std::nullopt;
                m_outText.append(buf, static_cast<std::size_t>(n));
            }
        }
    }

    // The UDP port the simulator listens on (started with --listen 0).
    uint16_t udpPort()
    {
        const auto rest = waitFor("listening on UDP port ");
        return rest ? static_cast<uint16_t>(std::atoi(rest->c_str())) : 0;
    }

    // Standard error gathered so far (reads what is available).
    const std::string& errText()
    {
        char buf[4096];
        ssize_t n;
        while (m_err >= 0 && (n = ::read(m_err, buf, sizeof buf)) > 0)
            m_errText.append(buf, static_cast<std::size_t>(n));
        return m_errText;
    }

    // Waits for the exit (sending `sig` first when non-zero); returns the exit status or -1.
    int finish(int sig = 0, int timeoutMs = 10000)
    {
        if (m_pid <= 0) return m_status;
        if (sig) ::kill(m_pid, sig);
        const int64_t end = nowMs() + timeoutMs;
        int status = 0;
        while (!reap(status, WNOHANG)) {
            errText();
            if (nowMs() > end) {
                ::kill(m_pid, SIGKILL);
                reap(status, 0);
                return m_status = -1;
            }
            ::usleep(20000);
        }
        errText();
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }
    bool running() const { return m_pid > 0; }
    bool exited()
    {
        int status = 0;
        if (m_pid > 0 && reap(status, WNOHANG)) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            errText();
        }
        return m_pid <= 0;
    }

    // Processor time the child used (user + system), known once it was reaped.
    double cpuSeconds() const { return m_cpuSeconds; }

  private:
    bool reap(int& status, int options)
    {
        rusage usage{};
        if (::wait4(m_pid, &status, options, &usage) != m_pid) return false;
        m_pid = -1;
        m_cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec / 1e6;
        return true;
    }
    static void closeFd(int& fd)
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    int m_status = -1;
    double m_cpuSeconds = -1;
    std::string m_outText, m_errText;
};

// A directory under /tmp removed at the end.
class CTempDir {
  public:
    CTempDir()
    {
        char tmpl[] = "/tmp/orvex-sim-XXXXXX";
        path = ::mkdtemp(tmpl) ? tmpl : "";
    }
    ~CTempDir()
    {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// The ground station's record keeping: every "$STP" into the record store, the flight log written
// from it, echoes and answers noted for the test.
class CGroundSink : public IDownlinkSink {
  public:
    explicit CGroundSink(const std::string& logDir)
    {
        EXPECT_TRUE(store.create());
        writer.setDirectory(logDir + "/Hj");
        std::tm opened{};
        opened.tm_year = 126;
        opened.tm_mon = 11;
        opened.tm_mday = 6;
        writer.startLog(opened);
    }
    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override
    {
        store.append(r.bytes().data());
        ++records;
        lastArrivalMs = nowMs();
        if (r.isValidForUpdate()) storedWaypointCount = r.storedWaypointCount();
    }
    void onWaypointEcho(const SWaypointEcho& e, EDownlinkLink) override
    {
        if (echoHandler) echoHandler(e);
    }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override { parameters.push_back(v); }
    void onCustomParameters(const SCustomParameters& c, EDownlinkLink) override { custom.push_back(c); }
    void onAcknowledgement(const SAcknowledgement& a) override { acknowledgements.emplace_back(a.keyword); }
    void onAlignmentQuestion(const SAcknowledgement& a) override { acknowledgements.emplace_back(a.keyword); }

    // Records the log file holds (whole records).
    std::size_t loggedRecords() const
    {
        std::error_code ec;
        const auto size = std::filesystem::file_size(writer.filePath(), ec);
        return ec ? 0 : static_cast<std::size_t>(size / kRecordSize);
    }
    // Whether the log file's bytes are exactly the stored records.
    bool logMatchesStore() const
    {
        FILE* f = std::fopen(writer.filePath().c_str(), "rb");
        if (!f) return false;
        std::vector<uint8_t> rec(kRecordSize);
        bool same = true;
        for (std::size_t i = 0; i < store.count() && same; ++i)
            same = std::fread(rec.data(), 1, kRecordSize, f) == kRecordSize &&
                   std::memcmp(rec.data(), store.record(i), kRecordSize) == 0;
        same = same && std::fgetc(f) == EOF;
        std::fclose(f);
        return same;
    }

    CRecordStore store;
    CFlightLogWriter writer;
    std::size_t records = 0;
    int64_t lastArrivalMs = 0;
    int storedWaypointCount = -1;
    std::function<void(const SWaypointEcho&)> echoHandler;
    std::vector<SParameterValues> parameters;
    std::vector<SCustomParameters> custom;
    std::vector<std::string> acknowledgements;
};

// The ground station's WiFi end: a UDP socket on 127.0.0.1 with a free port.
class CGroundUdp {
  public:
    explicit CGroundUdp(IDownlinkSink& sink) : m_step(sink)
    {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        int big = 1 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    }
    ~CGroundUdp() { ::close(fd); }

    std::string address() const { return "127.0.0.1:" + std::to_string(port); }
    void setPeer(uint16_t simPort) { m_peer = simPort; }
    void send(std::span<const uint8_t> frame)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_peer);
        ::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    // Receives and parses for `ms` milliseconds.
    void pump(int ms)
    {
        const int64_t end = nowMs() + ms;
        for (;;) {
            const int64_t left = end - nowMs();
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(left, 0))) > 0) {
                uint8_t buf[2048];
                ssize_t n;
                while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
                    m_step.append(std::span<const uint8_t>(buf, static_cast<std::size_t>(n)));
                    m_step.run(true);
                }
            }
            if (left <= 0) return;
        }
    }

    int fd = -1;
    uint16_t port = 0;

  private:
    CUdpSentenceStep m_step;
    uint16_t m_peer = 0;
};

// The ground station's serial end on a terminal device in raw mode.
class CGroundSerial {
  public:
    CGroundSerial(IDownlinkSink& sink, const std::string& device) : m_parser(sink)
    {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(fd, 0) << device;
        if (fd >= 0) makeRaw(fd);
    }
    explicit CGroundSerial(IDownlinkSink& sink, int openFd) : fd(openFd), m_parser(sink)
    {
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        makeRaw(fd);
    }
    ~CGroundSerial()
    {
        if (fd >= 0) ::close(fd);
    }
    static void makeRaw(int fd)
    {
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    void send(std::span<const uint8_t> bytes)
    {
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void pump(int ms)
    {
        const int64_t end = nowMs() + ms;
        for (;;) {
            const int64_t left = end - nowMs();
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(left, 0))) > 0) {
                uint8_t buf[4096];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    m_parser.feed(std::span<const uint8_t>(buf, static_cast<std::size_t>(n)));
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    return; // the other end went away
            }
            if (left <= 0) return;
        }
    }

    int fd = -1;

  private:
    CSerialParser m_parser;
};

} // namespace orvex::simtest
