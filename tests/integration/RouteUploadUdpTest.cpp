// A route upload over real UDP sockets on 127.0.0.1: the upload machine's "$WIFIS" and "$WIFIT"
// frames go out as datagrams; an aircraft end written here from the byte layouts stores each
// waypoint and answers with its "$SETD" echo (the first echo of waypoint 2 wrong by 0.0003 degrees
// of latitude); the echoes come back through the UDP sentence step into the echo check.
#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <bit>
#include <cstring>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol/DownlinkSink.h"
#include "protocol/UdpSentenceStep.h"
#include "route/RouteUpload.h"

using namespace orvex;

namespace {

struct SSocket {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}}; // port 0: a free one
    SSocket()
    {
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    }
    ~SSocket() { ::close(fd); }
    void sendTo(const SSocket& to, std::span<const uint8_t> bytes) const
    {
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to.addr), sizeof to.addr);
    }
    // The datagrams that arrive within `ms` milliseconds.
    std::vector<std::vector<uint8_t>> receive(int ms) const
    {
        std::vector<std::vector<uint8_t>> out;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) > 0) {
            uint8_t buf[512];
            for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
                out.emplace_back(buf, buf + n);
        }
        return out;
    }
};

uint32_t u32At(const std::vector<uint8_t>& f, int at)
{
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t(f[at + 3]) << 24;
}

struct SStored {
    float latitude;
    int32_t altitude;
    uint16_t circleTime;
    uint8_t circleFlag, photoMode;
};

// The aircraft: "$WIFIS" (30 bytes: number 6, latitude 7, longitude 11, altitude 15, circle time
// high 19 / low 20, circle flag 21, photo mode 22, sum of 5..22 at 23) is stored and echoed as
// "$SETD" (31 bytes: number 5, latitude 6, longitude 10, altitude 14, photo mode 18, circle flag
// 24, circle time high 25 / low 26, sum of 0..29 at 30); "$WIFIT" (the count three times at 6-8)
// sets the stored count.
struct SAircraft {
    int count = -1;
    std::map<int, SStored> stored;
    std::map<int, int> received;

    std::vector<uint8_t> answer(const std::vector<uint8_t>& f)
    {
        if (f.size() != 30 || std::memcmp(f.data(), "$WIFI", 5) != 0)
            return {};
        if (f[5] == 'T' && f[9] == 'T' && f[6] == f[7] && f[7] == f[8])
            count = f[6];
        uint8_t sum = 0;
        for (int i = 5; i <= 22; ++i)
            sum = uint8_t(sum + f[i]);
        if (f[5] != 'S' || sum != f[23])
            return {};
        const int number = f[6];
        const SStored s{std::bit_cast<float>(u32At(f, 7)), int32_t(u32At(f, 15)), uint16_t(f[19] << 8 | f[20]), f[21], f[22]};
        stored[number] = s;
        std::vector<uint8_t> e(31, 0);
        std::memcpy(e.data(), "$SETD", 5);
        e[5] = uint8_t(number);
        putLeF32(&e[6], number == 2 && ++received[2] == 1 ? s.latitude + 0.0003f : s.latitude);
        std::memcpy(&e[10], &f[11], 4);
        putLeU32(&e[14], uint32_t(s.altitude));
        putLeU32(&e[18], s.photoMode);
        e[24] = s.circleFlag;
        e[25] = uint8_t(s.circleTime >> 8);
        e[26] = uint8_t(s.circleTime);
        for (int i = 0; i < 30; ++i)
            e[30] = uint8_t(e[30] + e[i]);
        return e;
    }
};

struct SEchoToUpload : IDownlinkSink {
    CRouteUpload* upload = nullptr;
    void onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink) override { upload->onEcho(echo); }
};

} // namespace

TEST(RouteUploadUdp, UploadIsVerifiedThroughEchoesOverLoopback)
{
    const SSocket ground, aircraftSocket;
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
    int sends = 0;
    CRouteUpload upload(
        route, [&](std::span<const uint8_t> f) { ground.sendTo(aircraftSocket, f), ++sends; }, [](int, int) {});
    SEchoToUpload sink;
    sink.upload = &upload;
    CUdpSentenceStep step(sink);
    SAircraft aircraft;

    ASSERT_EQ(upload.start(), std::nullopt);
    for (int tick = 0; tick < 100 && upload.active(); ++tick) {
        sends = 0;
        upload.tick(std::max(aircraft.count, 0));
        // Loopback datagrams are queued when sendto() returns: what this tick sent is answered
        // before the next one.
        int echoes = 0;
        for (const auto& frame : aircraftSocket.receive(sends ? 1000 : 0))
            if (const auto echo = aircraft.answer(frame); !echo.empty())
                aircraftSocket.sendTo(ground, echo), ++echoes;
        for (const auto& datagram : ground.receive(echoes ? 1000 : 0)) {
            step.append(datagram);
            step.run(true);
        }
    }
    EXPECT_FALSE(upload.active());
    EXPECT_EQ(aircraft.count, 4);
    EXPECT_EQ(aircraft.received[2], 2) << "the bad echo made waypoint 2 go again";
    ASSERT_EQ(aircraft.stored.size(), 4u);
    EXPECT_EQ(aircraft.stored[1].circleFlag, 1); // the first waypoint circles, with no limit
    EXPECT_EQ(aircraft.stored[1].circleTime, 0);
    EXPECT_EQ(aircraft.stored[4].circleTime, 900);
    EXPECT_EQ(aircraft.stored[4].photoMode, 100);
    EXPECT_EQ(aircraft.stored[3].altitude, 140);
    EXPECT_FLOAT_EQ(aircraft.stored[3].latitude, 30.502f);
    for (const CWayPoint& w : route) {
        EXPECT_EQ(w.verified, 1);
        EXPECT_EQ(w.uploadState, kUploadAcknowledged);
    }
}
