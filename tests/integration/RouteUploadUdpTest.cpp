// A route upload over a real UDP socket on 127.0.0.1: the upload machine sends its "$WIFIS" and
// "$WIFIT" frames as datagrams; a peer standing in for the aircraft stores each waypoint and
// echoes it as "$SETD" (the first echo of waypoint 2 wrong by 0.0003 degrees of latitude); the
// echoes come back through the UDP sentence step into the echo check.
#include <gtest/gtest.h>

#include "protocol/DownlinkSink.h"
#include "protocol/UdpSentenceStep.h"
#include "route/RouteUpload.h"

#include <arpa/inet.h>
#include <atomic>
#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace orvex;

namespace {

int boundUdpSocket(sockaddr_in& addr)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0; // a free port
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return -1;
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return fd;
}

void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

struct SStored {
    float latitude, longitude;
    int32_t altitude;
    uint16_t circleTime;
    uint8_t circleFlag, photoMode;
};

// The aircraft end: reads the 30-byte frames by their byte layout and answers "$SETD".
class CEchoPeer {
public:
    CEchoPeer(int fd, sockaddr_in ground) : m_fd(fd), m_ground(ground), m_thread([this] { run(); }) {}
    ~CEchoPeer()
    {
        m_stop = true;
        m_thread.join();
    }
    int storedCount() const { return m_count.load(); }
    int timesReceived(int number)
    {
        std::lock_guard lock(m_mutex);
        return m_received[number];
    }
    std::map<int, SStored> stored()
    {
        std::lock_guard lock(m_mutex);
        return m_stored;
    }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t f[64];
            const ssize_t n = ::recv(m_fd, f, sizeof f, 0);
            if (n != 30 || std::memcmp(f, "$WIFI", 5) != 0)
                continue;
            if (f[5] == 'T' && f[9] == 'T' && f[6] == f[7] && f[7] == f[8]) {
                m_count = f[6];
                continue;
            }
            if (f[5] != 'S')
                continue;
            uint8_t sum = 0;
            for (int i = 5; i <= 22; ++i)
                sum = static_cast<uint8_t>(sum + f[i]);
            if (sum != f[23])
                continue;
            const int number = f[6];
            SStored s{std::bit_cast<float>(getU32(&f[7])), std::bit_cast<float>(getU32(&f[11])),
                      static_cast<int32_t>(getU32(&f[15])), static_cast<uint16_t>(f[19] << 8 | f[20]), f[21], f[22]};
            int seen;
            {
                std::lock_guard lock(m_mutex);
                m_stored[number] = s;
                seen = ++m_received[number];
            }
            uint8_t e[31] = {'$', 'S', 'E', 'T', 'D'};
            e[5] = static_cast<uint8_t>(number);
            const float lat = (number == 2 && seen == 1) ? s.latitude + 0.0003f : s.latitude;
            putU32(&e[6], std::bit_cast<uint32_t>(lat));
            putU32(&e[10], std::bit_cast<uint32_t>(s.longitude));
            putU32(&e[14], static_cast<uint32_t>(s.altitude));
            putU32(&e[18], s.photoMode);
            e[22] = 0xAA; // not compared
            e[23] = 0x55;
            e[24] = s.circleFlag;
            e[25] = static_cast<uint8_t>(s.circleTime >> 8);
            e[26] = static_cast<uint8_t>(s.circleTime & 0xFF);
            uint8_t total = 0;
            for (int i = 0; i < 30; ++i)
                total = static_cast<uint8_t>(total + e[i]);
            e[30] = total;
            ::sendto(m_fd, e, sizeof e, 0, reinterpret_cast<const sockaddr*>(&m_ground), sizeof m_ground);
        }
    }

    int m_fd;
    sockaddr_in m_ground;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_count{-1};
    std::mutex m_mutex;
    std::map<int, SStored> m_stored;
    std::map<int, int> m_received;
    std::thread m_thread;
};

class CEchoToUpload : public IDownlinkSink {
public:
    explicit CEchoToUpload(CRouteUpload& upload) : m_upload(upload) {}
    void onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink) override { m_upload.onEcho(echo); }

private:
    CRouteUpload& m_upload;
};

} // namespace

TEST(RouteUploadUdp, UploadIsVerifiedThroughEchoesOverLoopback)
{
    sockaddr_in groundAddr{}, aircraftAddr{};
    const int ground = boundUdpSocket(groundAddr);
    const int aircraft = boundUdpSocket(aircraftAddr);
    ASSERT_GE(ground, 0);
    ASSERT_GE(aircraft, 0);

    CSkyWay route("skw");
    for (int i = 0; i < 4; ++i) {
        CWayPoint w;
        w.latitude = 30.5 + 0.001 * i;
        w.longitude = 114.3 - 0.002 * i;
        w.altitude = 120 + 10 * i;
        w.photoMode = i == 3 ? 100 : i;
        w.circleFlag = 0;
        w.circleTime = static_cast<uint16_t>(300 * i);
        route.append(w);
    }
    std::vector<std::pair<int, int>> colours;
    CRouteUpload upload(
        route,
        [&](std::span<const uint8_t> f) {
            ::sendto(ground, f.data(), f.size(), 0, reinterpret_cast<const sockaddr*>(&aircraftAddr), sizeof aircraftAddr);
        },
        [&](int index, int state) { colours.emplace_back(index, state); });
    CEchoToUpload sink(upload);
    CUdpSentenceStep step(sink);

    {
        CEchoPeer peer(aircraft, groundAddr);
        ASSERT_EQ(upload.start(), std::nullopt);
        int ticks = 0;
        while (upload.active() && ticks < 100) {
            upload.tick(std::max(peer.storedCount(), 0));
            ++ticks;
            // Collect what the aircraft answers before the next tick (600 ms apart in the program).
            pollfd p{ground, POLLIN, 0};
            while (::poll(&p, 1, 100) > 0) {
                uint8_t buf[512];
                const ssize_t n = ::recv(ground, buf, sizeof buf, 0);
                if (n > 0) {
                    step.append(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
                    step.run(true);
                }
            }
        }
        EXPECT_FALSE(upload.active()) << "still uploading after " << ticks << " ticks";
        EXPECT_EQ(peer.storedCount(), 4);
        EXPECT_EQ(peer.timesReceived(1), 1);
        EXPECT_EQ(peer.timesReceived(2), 2); // the bad echo made it go again
        const auto stored = peer.stored();
        ASSERT_EQ(stored.size(), 4u);
        EXPECT_EQ(stored.at(1).circleFlag, 1); // first waypoint forced to circle, no limit
        EXPECT_EQ(stored.at(1).circleTime, 0);
        EXPECT_EQ(stored.at(4).circleTime, 900);
        EXPECT_EQ(stored.at(4).photoMode, 100);
        EXPECT_EQ(stored.at(3).altitude, 140);
        EXPECT_FLOAT_EQ(stored.at(3).latitude, 30.502f);
    }
    for (const CWayPoint& w : route) {
        EXPECT_EQ(w.verified, 1);
        EXPECT_EQ(w.uploadState, kUploadAcknowledged);
    }
    EXPECT_EQ(colours.size(), 4u);
    ::close(ground);
    ::close(aircraft);
}
