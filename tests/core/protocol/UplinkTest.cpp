#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"
#include "protocol/Uplink.h"

using namespace orvex;
using namespace orvex::test;

namespace {

Bytes wifiHead()
{
    return ascii("$WIFI");
}

TEST(UplinkFrames, CommandCode)
{
    Bytes expected = cat({wifiHead(), hex("57 57 57")});
    zeros(expected, 22);
    EXPECT_EQ(uplink::commandCode(kCommandReturnHome), expected);
    EXPECT_EQ(uplink::commandCode(kCommandArm)[5], 0x89);
}

TEST(UplinkFrames, CommandCodeWithDataRepeatsTheEightBytes)
{
    const std::array<uint8_t, 8> data{1, 2, 3, 0xFF, 0x80, 6, 7, 8};
    Bytes expected = cat({wifiHead(), hex("8A 8A 8A 01 02 03 FF 80 06 07 08 01 02 03 FF 80 06 07 08")});
    zeros(expected, 6);
    EXPECT_EQ(uplink::commandCodeWithData(0x8A, data), expected);
}

TEST(UplinkFrames, TargetAndAltitude)
{
    Bytes target = cat({wifiHead(), ascii("gg"), hex("05 05")});
    zeros(target, 21);
    EXPECT_EQ(uplink::targetWaypoint(5), target);
    // 120 m typed: 1200 = 0x04B0, sent low byte first three times.
    Bytes alt = cat({wifiHead(), ascii("jj"), hex("B0 04 B0 04 B0 04")});
    zeros(alt, 17);
    EXPECT_EQ(uplink::altitude(120), alt);
}

TEST(UplinkFrames, ClickToFlyAndGimbalLock)
{
    Bytes q = cat({wifiHead(), ascii("Q")});
    f32(q, 22.5f);
    f32(q, 113.5f);
    f32(q, 22.5f);
    f32(q, 113.5f);
    q << ascii("Q");
    zeros(q, 7);
    EXPECT_EQ(uplink::clickToFly(22.5f, 113.5f), q);
    Bytes g = uplink::gimbalLockPoint(22.5f, 113.5f);
    EXPECT_EQ(g[5], 0x5C);
    EXPECT_EQ(g[22], 0x5C);
    EXPECT_TRUE(std::equal(g.begin() + 6, g.begin() + 22, q.begin() + 6));
}

TEST(UplinkFrames, CompassStepRequestAndReset)
{
    Bytes step = cat({wifiHead(), ascii("ii"), hex("09 58 09 58 09 58")});
    zeros(step, 17);
    EXPECT_EQ(uplink::compassStep(kCompassVertical), step);
    Bytes req = cat({wifiHead(), ascii("hhh")});
    zeros(req, 22);
    EXPECT_EQ(uplink::parameterRequest(), req);
    Bytes reset = ascii("$HFMR");
    zeros(reset, 25);
    EXPECT_EQ(uplink::defaultParameterReset(), reset);
    Bytes rb = cat({wifiHead(), ascii("RRR")});
    zeros(rb, 22);
    EXPECT_EQ(uplink::readbackRequest(), rb);
}

TEST(UplinkFrames, ParameterWriteSums)
{
    std::array<uint8_t, 20> v{};
    for (int i = 0; i < 20; ++i)
        v[i] = static_cast<uint8_t>(100 + i); // 100..119
    const Bytes f = uplink::parameterWrite(v);
    ASSERT_EQ(f.size(), 30u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 7), cat({wifiHead(), ascii("ss")}));
    EXPECT_EQ(f[7], 100);
    EXPECT_EQ(f[26], 119);
    // 100+..+106 = 721 -> 0xD1; 107+..+113 = 770 -> 0x02; 114+..+119 = 699 -> 0xBB
    EXPECT_EQ(f[27], 0xD1);
    EXPECT_EQ(f[28], 0x02);
    EXPECT_EQ(f[29], 0xBB);
}

TEST(UplinkFrames, WaypointAndCount)
{
    const Bytes f = uplink::waypoint(3, 22.5f, 113.5f, 150, 0x0102, 1, 2);
    Bytes expected = cat({wifiHead(), ascii("S"), hex("03")});
    f32(expected, 22.5f);  // 00 00 B4 41
    f32(expected, 113.5f); // 00 00 E3 42
    le32(expected, 150);   // 96 00 00 00
    expected << hex("01 02 01 02");
    // 'S' 0x53 + 3 + 0xB4 + 0x41 + 0xE3 + 0x42 + 0x96 + 1 + 2 + 1 + 2 = 0x30C -> 0x0C
    expected << hex("0C");
    zeros(expected, 6);
    EXPECT_EQ(f, expected);
    Bytes count = cat({wifiHead(), ascii("T"), hex("07 07 07"), ascii("T")});
    zeros(count, 20);
    EXPECT_EQ(uplink::waypointCount(7), count);
}

TEST(UplinkFrames, HeartbeatWithReceiverOnAndOff)
{
    Bytes on = cat({ascii("$IWFI"), hex("05 DC 05 DC 05 DC 06 0E 05 DC 05 DC 05 DC 06 0E 00 00 00 00 00 00 00")});
    // 6 x (05+DC) + 2 x (06+0E) = 6 x 0xE1 + 2 x 0x14 = 0x546 + 0x28 = 0x56E -> 0x6E
    on << hex("6E") << ascii("*");
    EXPECT_EQ(uplink::heartbeat(1), on);
    EXPECT_EQ(uplink::heartbeat(0), Bytes(30, 0));
    EXPECT_EQ(uplink::heartbeat(2), Bytes(30, 0));
    EXPECT_EQ(uplink::attitudeAlignment(), ascii("$SAHRS"));
}

struct CRecordingOutput : IByteOutput {
    std::vector<Bytes> sent;
    void send(std::span<const uint8_t> bytes) override { sent.emplace_back(bytes.begin(), bytes.end()); }
};

TEST(UplinkRouter, SendsOnEachOpenLink)
{
    CRecordingOutput serial, wifi;
    CUplinkRouter router(serial, wifi);
    const Bytes frame = uplink::commandCode(kCommandReturnHome);
    router.sendOnBothLinks(frame);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_TRUE(wifi.sent.empty());
    router.setSerialOpen(true);
    router.setWifiActive(true);
    router.sendOnBothLinks(frame);
    ASSERT_EQ(serial.sent.size(), 1u);
    ASSERT_EQ(wifi.sent.size(), 1u);
    EXPECT_EQ(serial.sent[0], frame);
    EXPECT_EQ(wifi.sent[0], frame);
    router.setSerialOpen(false);
    router.sendOnBothLinks(frame);
    router.sendOnSerial(uplink::attitudeAlignment());
    EXPECT_EQ(serial.sent.size(), 1u);
    EXPECT_EQ(wifi.sent.size(), 2u);
    router.setSerialOpen(true);
    router.sendOnSerial(uplink::attitudeAlignment());
    EXPECT_EQ(serial.sent.back(), ascii("$SAHRS"));
    EXPECT_EQ(wifi.sent.size(), 2u);
}

} // namespace
