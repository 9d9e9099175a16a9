// orvex sim: a simulated aircraft on the other end of the ground station's link.
//
//   orvex sim [--udp] [--listen PORT] [--gcs HOST:PORT] [--serial [DEVICE]] [--rate HZ]
//             [--home LAT,LON] [--nmea] [--loss P] [--corrupt P] [--split] [--seed N]
//             [--silent-after S] [--pause-after S --pause-for S] [--serial-link PATH]
//             [--serial-drop-after S] [--serial-drop-for S] [--duration S] [--demo]
//
// --udp listens for the ground station's frames on PORT (55555; 0 picks a free port) and sends to
// HOST:PORT (127.0.0.1:9000). --serial opens DEVICE, or creates a pseudo-terminal in raw mode and
// prints the path the ground station should open. The links are served by one poll() loop on the
// monotonic clock. On exit (SIGINT, SIGTERM or --duration) a JSON summary goes to standard error:
// the "$STP" records that actually left, per link, and the faults applied.
// --pause-after S --pause-for S: silent from S seconds for the given time, then talking again.
// --serial-link PATH: a symbolic link PATH to the pseudo-terminal, whose name stays while the
// pseudo-terminal behind it changes. --serial-drop-after S (or the signal SIGUSR1): the
// pseudo-terminal is closed, as a radio modem pulled out, and after --serial-drop-for seconds
// (2) a new one is made and PATH points to it again.
// --demo stores a small loop around home and takes off into it by itself two seconds after start,
// repeating it until the operator commands otherwise.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "JsonWriter.h"
#include "ToolCommand.h"
#include "protocol/UplinkParser.h"
#include "sim/FaultInjector.h"
#include "sim/SimAircraft.h"

using namespace orvex;

namespace {

constexpr const char* kName = "sim";
constexpr uint16_t kDefaultListenPort = 55555;
constexpr uint16_t kDefaultGcsPort = 9000;
constexpr std::size_t kSerialQueueLimitBytes = 256 * 1024;
constexpr int kExitFlushMs = 500;

volatile std::sig_atomic_t g_stopSignal = 0;
volatile std::sig_atomic_t g_dropSerial = 0;

void onStopSignal(int sig)
{
    g_stopSignal = sig;
}

void onDropSignal(int)
{
    g_dropSerial = 1;
}

int64_t monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool parseDouble(const std::string& text, double& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(out);
}

bool parsePort(const std::string& text, uint16_t& out)
{
    double v = 0;
    if (!parseDouble(text, v) || v < 0 || v > 65535 || v != static_cast<int>(v)) return false;
    out = static_cast<uint16_t>(v);
    return true;
}

struct SOptions {
    bool udp = false;
    uint16_t listenPort = kDefaultListenPort;
    std::string gcsHost = "127.0.0.1";
    uint16_t gcsPort = kDefaultGcsPort;
    bool serial = false;
    std::string serialDevice; // empty: create a pseudo-terminal
    std::string serialLink;   // symbolic link to the pseudo-terminal
    double serialDropAfterS = -1;
    double serialDropForS = 2;
    double durationS = -1;
    SSimConfig sim;
    SFaultConfig faults;
};

// Parses the arguments; returns an error text or nullopt.
std::optional<std::string> parseOptions(const std::vector<std::string>& args, SOptions& o)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--udp") {
            o.udp = true;
        } else if (a == "--split") {
            o.faults.split = true;
        } else if (a == "--nmea") {
            o.sim.nmea = true;
        } else if (a == "--demo") {
            o.sim.demo = true;
        } else if (a == "--serial") {
            o.serial = true;
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) o.serialDevice = args[++i];
        } else if (a == "--listen") {
            if (!value(v) || !parsePort(v, o.listenPort)) return "--listen needs a port number";
        } else if (a == "--gcs") {
            const auto colon = value(v) ? v.rfind(':') : std::string::npos;
            if (colon == std::string::npos || colon == 0 || !parsePort(v.substr(colon + 1), o.gcsPort) ||
                o.gcsPort == 0)
                return "--gcs needs HOST:PORT";
            o.gcsHost = v.substr(0, colon);
        } else if (a == "--rate") {
            if (!value(v) || !parseDouble(v, o.sim.rateHz) || o.sim.rateHz < 0.1 || o.sim.rateHz > 1000)
                return "--rate needs a rate from 0.1 to 1000 Hz";
        } else if (a == "--home") {
            const auto comma = value(v) ? v.find(',') : std::string::npos;
            if (comma == std::string::npos || !parseDouble(v.substr(0, comma), o.sim.homeLatitude) ||
                !parseDouble(v.substr(comma + 1), o.sim.homeLongitude) ||
                std::fabs(o.sim.homeLatitude) > 89 || std::fabs(o.sim.homeLongitude) > 180)
                return "--home needs LAT,LON in degrees (latitude within 89, longitude within 180)";
        } else if (a == "--loss" || a == "--corrupt") {
            double p = 0;
            if (!value(v) || !parseDouble(v, p) || p < 0 || p > 1)
                return a + " needs a probability from 0 to 1";
            (a == "--loss" ? o.faults.lossProbability : o.faults.corruptProbability) = p;
        } else if (a == "--seed") {
            double s = 0;
            if (!value(v) || !parseDouble(v, s) || s < 0 ||
                s != static_cast<double>(static_cast<uint64_t>(s)))
                return "--seed needs a whole number";
            o.sim.seed = o.faults.seed = static_cast<uint64_t>(s);
        } else if (a == "--silent-after") {
            if (!value(v) || !parseDouble(v, o.faults.silentAfterSeconds) || o.faults.silentAfterSeconds < 0)
                return "--silent-after needs seconds";
        } else if (a == "--pause-after") {
            if (!value(v) || !parseDouble(v, o.faults.silentAfterSeconds) || o.faults.silentAfterSeconds < 0)
                return "--pause-after needs seconds";
        } else if (a == "--pause-for") {
            if (!value(v) || !parseDouble(v, o.faults.silentForSeconds) || o.faults.silentForSeconds < 0)
                return "--pause-for needs seconds";
        } else if (a == "--serial-link") {
            if (!value(o.serialLink) || o.serialLink.empty()) return "--serial-link needs a path";
        } else if (a == "--serial-drop-after" || a == "--serial-drop-for") {
            double& out = a == "--serial-drop-after" ? o.serialDropAfterS : o.serialDropForS;
            if (!value(v) || !parseDouble(v, out) || out < 0) return a + " needs seconds";
        } else if (a == "--duration") {
            if (!value(v) || !parseDouble(v, o.durationS) || o.durationS < 0)
                return "--duration needs seconds";
        } else {
            return "unknown option " + a;
        }
    }
    if (!o.udp && !o.serial) return "choose a link: --udp, --serial or both";
    if (o.faults.silentForSeconds >= 0 && o.faults.silentAfterSeconds < 0) return "--pause-for needs --pause-after";
    if ((!o.serialLink.empty() || o.serialDropAfterS >= 0) && (!o.serial || !o.serialDevice.empty()))
        return "--serial-link and --serial-drop-after need --serial without a device";
    return std::nullopt;
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &t);
}

// The links, the fault layer and the counts of what actually left.
class CLinks : public ISimOutput {
  public:
    explicit CLinks(const SFaultConfig& faults) : m_faults(faults) {}

    int udpFd = -1;
    sockaddr_storage gcs{};
    socklen_t gcsLen = 0;
    int serialFd = -1; // device or pseudo-terminal master
    int ptySlave = -1; // kept open so the master never sees a hang-up
    bool serialInputOk = true;
    bool serialOutputOk = true;
    int64_t startMs = 0;
    std::deque<uint8_t> serialQueue;
    std::size_t recordsSerial = 0, recordsUdp = 0, serialOverflow = 0, udpSendErrors = 0;

    void send(ESimLink link, std::span<const uint8_t> sentence) override
    {
        const bool record = sentence.size() >= 4 && std::memcmp(sentence.data(), "$STP", 4) == 0;
        const auto pieces = m_faults.apply(sentence, monotonicMs() - startMs);
        if (pieces.empty()) return;
        if (link == ESimLink::Udp) {
            bool ok = true;
            for (const auto& p : pieces)
                if (::sendto(udpFd, p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&gcs), gcsLen) <
                    0)
                    ok = false;
            if (!ok)
                ++udpSendErrors;
            else if (record)
                ++recordsUdp;
            return;
        }
        if (!serialOutputOk || serialFd < 0) return;
        std::size_t total = 0;
        for (const auto& p : pieces)
            total += p.size();
        if (serialQueue.size() + total > kSerialQueueLimitBytes) {
            ++serialOverflow;
            return;
        }
        for (const auto& p : pieces) {
            serialQueue.insert(serialQueue.end(), p.begin(), p.end());
            flushSerial(); // each piece its own write
        }
        if (record) ++recordsSerial;
    }
    void notice(const std::string& text) override { std::fprintf(stderr, "orvex sim: %s\n", text.c_str()); }

    void flushSerial()
    {
        uint8_t chunk[4096];
        while (!serialQueue.empty()) {
            const std::size_t n = std::min(serialQueue.size(), sizeof chunk);
            std::copy(serialQueue.begin(), serialQueue.begin() + static_cast<std::ptrdiff_t>(n), chunk);
            const ssize_t w = ::write(serialFd, chunk, n);
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                // The line is gone (device unplugged, other end closed): stop writing to it.
                serialOutputOk = false;
                serialQueue.clear();
                return;
            }
            if (w <= 0) return; // full: wait for POLLOUT
            serialQueue.erase(serialQueue.begin(), serialQueue.begin() + w);
        }
    }

    const CFaultInjector& faults() const { return m_faults; }

  private:
    CFaultInjector m_faults;
};

// A pseudo-terminal in raw mode as the serial line; its path (or the symbolic link to it) printed.
bool openPseudoTerminal(CLinks& links, const std::string& linkPath)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "orvex sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    makeRaw(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    setNonBlocking(master);
    links.serialFd = master;
    links.ptySlave = slave;
    links.serialInputOk = links.serialOutputOk = true;
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(name, linkPath.c_str()) != 0) {
            std::fprintf(stderr, "orvex sim: cannot link %s: %s\n", linkPath.c_str(), std::strerror(errno));
            return false;
        }
    }
    std::printf("serial port: %s\n", linkPath.empty() ? name : linkPath.c_str());
    std::fflush(stdout);
    return true;
}

// The pseudo-terminal goes away, as a pulled radio modem: the ground station's reads fail.
void closePseudoTerminal(CLinks& links, const std::string& linkPath)
{
    if (!linkPath.empty()) ::unlink(linkPath.c_str());
    ::close(links.serialFd);
    ::close(links.ptySlave);
    links.serialFd = links.ptySlave = -1;
    links.serialQueue.clear();
    std::fprintf(stderr, "orvex sim: the serial line is dropped\n");
}

bool resolveGcs(const SOptions& o, CLinks& links)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* res = nullptr;
    const std::string port = std::to_string(o.gcsPort);
    if (::getaddrinfo(o.gcsHost.c_str(), port.c_str(), &hints, &res) != 0 || !res) return false;
    std::memcpy(&links.gcs, res->ai_addr, res->ai_addrlen);
    links.gcsLen = static_cast<socklen_t>(res->ai_addrlen);
    ::freeaddrinfo(res);
    return true;
}

// The UDP socket and the serial line the options ask for; false (told) when one cannot be had.
bool openLinks(const SOptions& o, CLinks& links)
{
    if (o.udp) {
        if (!resolveGcs(o, links)) {
            std::fprintf(stderr, "orvex sim: cannot resolve the ground station address %s\n",
                         o.gcsHost.c_str());
            return false;
        }
        links.udpFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = htons(o.listenPort);
        if (links.udpFd < 0 || ::bind(links.udpFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            std::fprintf(stderr, "orvex sim: cannot listen on UDP port %u: %s\n", o.listenPort,
                         std::strerror(errno));
            return false;
        }
        socklen_t len = sizeof local;
        ::getsockname(links.udpFd, reinterpret_cast<sockaddr*>(&local), &len);
        std::printf("listening on UDP port %u, sending to %s:%u\n", ntohs(local.sin_port), o.gcsHost.c_str(),
                    o.gcsPort);
    }
    if (o.serial) {
        if (o.serialDevice.empty()) {
            if (!openPseudoTerminal(links, o.serialLink)) return false;
        } else {
            links.serialFd = ::open(o.serialDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (links.serialFd < 0) {
                std::fprintf(stderr, "orvex sim: cannot open %s: %s\n", o.serialDevice.c_str(),
                             std::strerror(errno));
                return false;
            }
            if (::isatty(links.serialFd)) makeRaw(links.serialFd);
            std::printf("serial port: %s\n", o.serialDevice.c_str());
        }
        setNonBlocking(links.serialFd);
    }
    return true;
}

// SIGINT and SIGTERM end the run, SIGUSR1 drops the serial line; a closed peer is no signal.
void installSignalHandlers()
{
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: poll() returns at once
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    struct sigaction drop {};
    drop.sa_handler = onDropSignal;
    sigemptyset(&drop.sa_mask);
    ::sigaction(SIGUSR1, &drop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// The aircraft's clock from the wall clock, local time and UTC.
void setTimeOfDay(CSimAircraft& aircraft)
{
    std::time_t wall = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&wall, &local);
    aircraft.setTimeOfDay(static_cast<uint8_t>(local.tm_hour), static_cast<uint8_t>(local.tm_min),
                          static_cast<uint8_t>(local.tm_sec));
    std::tm utc{};
    ::gmtime_r(&wall, &utc);
    aircraft.setUtcTimeOfDay(static_cast<uint8_t>(utc.tm_hour), static_cast<uint8_t>(utc.tm_min),
                             static_cast<uint8_t>(utc.tm_sec));
}

// What the serial line is ready for: bytes in go to the parser, queued bytes out; a line that
// went away is told once and the run carries on without it.
void serviceSerial(CLinks& links, short re, CUplinkParser& parser, bool& lossReported)
{
    if (re & POLLIN) {
        uint8_t chunk[1024];
        const ssize_t got = ::read(links.serialFd, chunk, sizeof chunk);
        if (got > 0)
            parser.feed(std::span<const uint8_t>(chunk, static_cast<std::size_t>(got)));
        else if (got == 0 || (errno != EAGAIN && errno != EINTR))
            links.serialInputOk = false;
    } else if (re & (POLLHUP | POLLERR)) {
        links.serialInputOk = false; // the device went away: keep talking on the other link
    }
    if (re & POLLOUT) links.flushSerial();
    if (!links.serialInputOk && (re & (POLLHUP | POLLERR)) && !(re & POLLOUT))
        links.serialQueue.clear(); // nothing can leave any more: no waking up for it
    if ((!links.serialInputOk || !links.serialOutputOk) && !lossReported) {
        lossReported = true;
        std::fprintf(stderr, "orvex sim: the serial line closed; carrying on without it\n");
    }
}

// One JSON line on standard error: what was sent, lost and received.
void printSummary(const CSimAircraft& aircraft, const CLinks& links, std::size_t framesRejectedBytes)
{
    const SSimCounters& c = aircraft.counters();
    CJsonObject summary;
    summary.integer("records_sent", static_cast<long long>(links.recordsSerial + links.recordsUdp))
        .integer("records_serial", static_cast<long long>(links.recordsSerial))
        .integer("records_udp", static_cast<long long>(links.recordsUdp))
        .integer("sentences", static_cast<long long>(c.sentencesSent))
        .integer("sentences_lost", static_cast<long long>(links.faults().sentencesLost()))
        .integer("sentences_silenced", static_cast<long long>(links.faults().sentencesSilenced()))
        .integer("bytes_corrupted", static_cast<long long>(links.faults().bytesCorrupted()))
        .integer("sentences_split", static_cast<long long>(links.faults().sentencesSplit()))
        .integer("serial_overflow", static_cast<long long>(links.serialOverflow))
        .integer("serial_unsent_bytes", static_cast<long long>(links.serialQueue.size()))
        .integer("udp_send_errors", static_cast<long long>(links.udpSendErrors))
        .integer("frames_received", static_cast<long long>(c.framesReceived))
        .integer("frames_rejected_bytes",
                 static_cast<long long>(framesRejectedBytes))
        .integer("heartbeats", static_cast<long long>(aircraft.heartbeat().beats()))
        .integer("stored_waypoints", aircraft.storedWaypointCount())
        .integer("photos", static_cast<long long>(c.photosTaken))
        .str("stopped_by", g_stopSignal == SIGINT    ? "SIGINT"
                           : g_stopSignal == SIGTERM ? "SIGTERM"
                                                     : "duration");
    std::fprintf(stderr, "%s\n", summary.text().c_str());
}

int runSim(const std::vector<std::string>& args)
{
    SOptions o;
    if (auto error = parseOptions(args, o)) return toolUsageError(kName, *error);

    CLinks links(o.faults);
    if (!openLinks(o, links)) return 1;
    if (o.sim.demo)
        std::printf("demonstration flight: take-off in %lld s, then a %zu-waypoint loop of %.0f m radius "
                    "around home, repeated\n",
                    static_cast<long long>(CSimAircraft::kDemoTakeoffDelayMs / 1000), CSimAircraft::kDemoWaypointCount,
                    CSimAircraft::kDemoRadiusM);
    std::fflush(stdout);

    installSignalHandlers();

    CSimAircraft aircraft(o.sim, links);
    aircraft.setLinkActive(ESimLink::Udp, o.udp);
    aircraft.setLinkActive(ESimLink::Serial, o.serial);
    int64_t now = monotonicMs();
    links.startMs = now;
    const int64_t endMs = o.durationS >= 0 ? now + static_cast<int64_t>(o.durationS * 1000.0) : INT64_MAX;
    CUplinkParser udpParser([&](const SUplinkFrame& f) { aircraft.onUplink(f, ESimLink::Udp, now); });
    CUplinkParser serialParser([&](const SUplinkFrame& f) { aircraft.onUplink(f, ESimLink::Serial, now); });
    aircraft.start(now);
    bool serialLossReported = false;
    int64_t serialDropMs = o.serialDropAfterS >= 0 ? now + static_cast<int64_t>(o.serialDropAfterS * 1000.0) : INT64_MAX;
    int64_t serialBackMs = INT64_MAX;

    while (!g_stopSignal) {
        now = monotonicMs();
        if (now >= endMs) break;
        if (o.serial && o.serialDevice.empty() && links.serialFd >= 0 && (g_dropSerial || now >= serialDropMs)) {
            g_dropSerial = 0;
            serialDropMs = INT64_MAX;
            closePseudoTerminal(links, o.serialLink);
            serialParser.reset();
            serialBackMs = now + static_cast<int64_t>(o.serialDropForS * 1000.0);
        }
        if (links.serialFd < 0 && now >= serialBackMs) {
            serialBackMs = INT64_MAX;
            serialLossReported = false;
            if (!openPseudoTerminal(links, o.serialLink)) break;
        }
        setTimeOfDay(aircraft);
        aircraft.advance(now);

        pollfd fds[2];
        nfds_t n = 0;
        int udpIndex = -1, serialIndex = -1;
        if (links.udpFd >= 0) {
            udpIndex = static_cast<int>(n);
            fds[n++] = {links.udpFd, POLLIN, 0};
        }
        if (links.serialFd >= 0 && (links.serialInputOk || !links.serialQueue.empty())) {
            short events = links.serialInputOk ? POLLIN : 0;
            if (!links.serialQueue.empty()) events |= POLLOUT;
            serialIndex = static_cast<int>(n);
            fds[n++] = {links.serialFd, events, 0};
        }
        const int64_t wake = std::min({aircraft.nextDeadlineMs(), endMs, serialDropMs, serialBackMs});
        const int timeout = static_cast<int>(std::clamp<int64_t>(wake - monotonicMs(), 0, 1000));
        const int ready = ::poll(fds, n, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "orvex sim: poll failed: %s\n", std::strerror(errno));
            break;
        }
        now = monotonicMs();
        if (udpIndex >= 0 && (fds[udpIndex].revents & POLLIN)) {
            uint8_t datagram[2048];
            for (;;) {
                const ssize_t got = ::recv(links.udpFd, datagram, sizeof datagram, 0);
                if (got < 0) break;
                udpParser.feed(std::span<const uint8_t>(datagram, static_cast<std::size_t>(got)));
            }
        }
        if (serialIndex >= 0) serviceSerial(links, fds[serialIndex].revents, serialParser, serialLossReported);
    }

    // What is still queued for the serial line gets a short while to leave.
    const int64_t flushEnd = monotonicMs() + kExitFlushMs;
    while (links.serialFd >= 0 && !links.serialQueue.empty() && monotonicMs() < flushEnd) {
        pollfd p{links.serialFd, POLLOUT, 0};
        if (::poll(&p, 1, 50) > 0) links.flushSerial();
    }

    printSummary(aircraft, links, udpParser.bytesDropped() + serialParser.bytesDropped());
    if (links.udpFd >= 0) ::close(links.udpFd);
    if (links.serialFd >= 0) ::close(links.serialFd);
    if (links.ptySlave >= 0) ::close(links.ptySlave);
    return 0;
}

static CToolCommandRegistration reg{
    kName,
    "sim [--udp] [--listen PORT] [--gcs HOST:PORT] [--serial [DEVICE]] [--rate HZ] [--home LAT,LON] [--nmea] "
    "[--loss P] [--corrupt P] [--split] [--seed N] [--silent-after S] [--pause-after S --pause-for S] "
    "[--serial-link PATH] [--serial-drop-after S] [--serial-drop-for S] [--duration S] [--demo]",
    "a simulated aircraft speaking the flight controller's side of the protocol", &runSim};

} // namespace
