// A route upload through the program's real WiFi transport (CMyUDP on 127.0.0.1) against a small
// aircraft stand-in on another loopback socket that answers every "$WIFIS" with the "$SETD" echo of
// the waypoint it received. The stand-in's frames are written here from the sentence layouts.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

#include "RouteTestSupport.h"
#include "link/MyUDP.h"
#include "route/RouteCommands.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

float f32At(const QByteArray& d, int at)
{
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | static_cast<uint8_t>(d[at + i]);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

void putLe32(QByteArray& d, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putF32(QByteArray& d, int at, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putLe32(d, at, bits);
}

// "$SETD" echo of a received "$WIFIS": 31 bytes, number at 5, latitude 6-9, longitude 10-13,
// altitude 14-17, photo mode 18-21, circle flag 24, circle time high 25 / low 26, sum at 30.
QByteArray echoOf(const QByteArray& wifis, float latitudeShift)
{
    QByteArray e(31, '\0');
    std::memcpy(e.data(), "$SETD", 5);
    e[5] = wifis[6];
    putF32(e, 6, f32At(wifis, 7) + latitudeShift);
    putF32(e, 10, f32At(wifis, 11));
    for (int i = 0; i < 4; ++i)
        e[14 + i] = wifis[15 + i];
    putLe32(e, 18, static_cast<uint8_t>(wifis[22]));
    e[22] = 0x5A; // not compared
    e[24] = wifis[21];
    e[25] = wifis[19];
    e[26] = wifis[20];
    e[27] = 0x33; // not compared
    uint8_t sum = 0;
    for (int i = 0; i < 30; ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(e[i]));
    e[30] = static_cast<char>(sum);
    return e;
}

struct EchoCounter : IDownlinkSink {
    int echoes = 0;
    void onWaypointEcho(const SWaypointEcho&, EDownlinkLink) override { ++echoes; }
};

struct CountingOutput : IByteOutput {
    explicit CountingOutput(IByteOutput& inner) : inner(inner) {}
    void send(std::span<const uint8_t> bytes) override
    {
        ++sent;
        inner.send(bytes);
    }
    IByteOutput& inner;
    int sent = 0;
};

bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}

TEST(RouteUploadOverUdp, EveryWaypointIsAcknowledgedByItsEchoAndAMismatchIsResent)
{
    TempHome home;
    RecordingUi ui;
    CGroundStation station{CAppPaths(home.path())};
    station.setUi(&ui);
    CRouteCommands commands(station, nullptr);
    fillRoute(station.route(), 3);
    station.route()[1].photoMode = 4;
    station.route()[2].circleTime = 300;
    station.route()[2].altitude = -20;

    // The aircraft stand-in: the second waypoint's first echo comes back 0.0003 degrees off.
    QUdpSocket aircraft;
    ASSERT_TRUE(aircraft.bind(QHostAddress::LocalHost, 0));
    CMyUDP udp;
    ASSERT_TRUE(udp.start(0, QHostAddress::LocalHost, aircraft.localPort()));
    udp.setByteConsumer([&](std::span<const std::uint8_t> bytes) { station.receiveWifiBytes(bytes); });
    udp.setActive(true);
    CountingOutput out(udp);
    station.attachWifiOutput(&out);
    station.setWifiActive(true);
    EchoCounter counter;
    station.addDownlinkSink(&counter);

    std::vector<QByteArray> received;
    std::vector<int> tickOfFrame;
    int tick = 0;
    int echoesSent = 0;
    bool shifted = false;
    QObject::connect(&aircraft, &QUdpSocket::readyRead, [&] {
        while (aircraft.hasPendingDatagrams()) {
            QByteArray d(static_cast<int>(aircraft.pendingDatagramSize()), '\0');
            aircraft.readDatagram(d.data(), d.size());
            received.push_back(d);
            tickOfFrame.push_back(tick);
            if (d.size() == 30 && d.startsWith("$WIFIS")) {
                const bool shift = d[6] == 2 && !shifted;
                shifted = shifted || shift;
                aircraft.writeDatagram(echoOf(d, shift ? 0.0003f : 0.0f), QHostAddress::LocalHost, udp.localPort());
                ++echoesSent;
            }
        }
    });

    ASSERT_TRUE(commands.uploadRoute());
    int countFrames = 0;
    for (tick = 1; tick <= 20 && countFrames < 2; ++tick) {
        const int before = out.sent;
        station.uploadTick();
        if (out.sent == before)
            continue;
        ASSERT_TRUE(waitFor([&] { return static_cast<int>(received.size()) == out.sent; })) << "tick " << tick;
        ASSERT_TRUE(waitFor([&] { return counter.echoes == echoesSent; })) << "tick " << tick;
        if (received.back().startsWith("$WIFIT"))
            ++countFrames;
    }

    std::vector<int> numbers;
    std::vector<int> ticks;
    for (size_t i = 0; i < received.size(); ++i)
        if (received[i].startsWith("$WIFIS")) {
            numbers.push_back(static_cast<uint8_t>(received[i][6]));
            ticks.push_back(tickOfFrame[i]);
        }
    // One frame a tick; the second waypoint again on the fourth tick after its first send.
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 2}));
    EXPECT_EQ(ticks, (std::vector<int>{1, 2, 3, 6}));
    for (const CWayPoint& w : station.route()) {
        EXPECT_EQ(w.verified, 1);
        EXPECT_EQ(w.uploadState, kUploadAcknowledged);
    }
    // Only the matching echoes coloured a waypoint.
    EXPECT_EQ(ui.count("setSkyWayPTcolor"), 3);
    // Then the count frame, every tick, until the aircraft reports three waypoints.
    ASSERT_EQ(countFrames, 2);
    const QByteArray& count = received.back();
    ASSERT_EQ(count.size(), 30);
    EXPECT_EQ(static_cast<uint8_t>(count[6]), 3);
    EXPECT_EQ(static_cast<uint8_t>(count[7]), 3);
    EXPECT_EQ(static_cast<uint8_t>(count[8]), 3);
    EXPECT_EQ(count[9], 'T');
    EXPECT_EQ(station.routeController().upload().phase(), kUploadPhaseFinishing);
    // The first waypoint went up circling with no time limit.
    EXPECT_EQ(static_cast<uint8_t>(received[0][21]), 1);
    EXPECT_EQ(static_cast<uint8_t>(received[0][19]), 0);
    EXPECT_EQ(static_cast<uint8_t>(received[0][20]), 0);

    station.removeDownlinkSink(&counter);
    station.attachWifiOutput(nullptr);
    udp.stop();
}

} // namespace
