#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "ProtocolTestSupport.h"
#include "protocol/Uplink.h"
#include "protocol/UplinkParser.h"

using namespace orvex;
using namespace orvex::test;

namespace {

// Each frame written out from its layout: "$WIFI" (24 57 49 46 49) and the body, zeros to 30 bytes;
// then the aircraft's stream reader takes all of them back, each as its kind and fields.
TEST(UplinkFrames, BytesOfEveryFrameAndTheirReading)
{
    const std::array<uint8_t, 8> data{1, 2, 3, 0xFF, 0x80, 6, 7, 8};
    std::array<uint8_t, 20> values;
    std::iota(values.begin(), values.end(), uint8_t{100});
    using K = EUplinkKind;
    const struct {
        const char* what;
        Bytes frame;
        std::string hex;
        EUplinkKind kind;
        int code;
    } cases[] = {
        {"return home", uplink::commandCode(kCommandReturnHome), "24 57 49 46 49 57 57 57", K::CommandCode, 87},
        {"arm", uplink::commandCode(kCommandArm), "24 57 49 46 49 89 89 89", K::CommandCode, 137},
        {"code with data twice", uplink::commandCodeWithData(0x8A, data),
         "24 57 49 46 49 8A 8A 8A 01 02 03 FF 80 06 07 08 01 02 03 FF 80 06 07 08", K::CommandCodeWithData, 138},
        {"target", uplink::targetWaypoint(5), "24 57 49 46 49 67 67 05 05", K::TargetWaypoint, 5},
        // 120 m typed: 1200 = 0x04B0, low byte first, three times.
        {"altitude", uplink::altitude(120), "24 57 49 46 49 6A 6A B0 04 B0 04 B0 04", K::Altitude, 0},
        {"fly to", uplink::clickToFly(22.5f, 113.5f),
         "24 57 49 46 49 51 00 00 B4 41 00 00 E3 42 00 00 B4 41 00 00 E3 42 51", K::ClickToFly, 0},
        {"gimbal lock", uplink::gimbalLockPoint(-1.0f, 2.0f),
         "24 57 49 46 49 5C 00 00 80 BF 00 00 00 40 00 00 80 BF 00 00 00 40 5C", K::GimbalLockPoint, 0},
        {"compass step", uplink::compassStep(kCompassVertical), "24 57 49 46 49 69 69 09 58 09 58 09 58", K::CompassStep, 88},
        {"parameter request", uplink::parameterRequest(), "24 57 49 46 49 68 68 68", K::ParameterRequest, 0},
        {"readback", uplink::readbackRequest(), "24 57 49 46 49 52 52 52", K::ReadbackRequest, 0},
        {"default reset", uplink::defaultParameterReset(), "24 48 46 4D 52", K::DefaultParameterReset, 0},
        // 100+..+106 = 721 -> D1; 107+..+113 = 770 -> 02; 114+..+119 = 699 -> BB.
        {"parameter write", uplink::parameterWrite(values),
         "24 57 49 46 49 73 73 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 75 76 77 D1 02 BB", K::ParameterWrite, 0},
        // 'S' + 3 + B4 + 41 + E3 + 42 + 96 + 1 + 2 + 1 + 2 = 0x30C -> 0C.
        {"waypoint", uplink::waypoint(3, 22.5f, 113.5f, 150, 0x0102, 1, 2),
         "24 57 49 46 49 53 03 00 00 B4 41 00 00 E3 42 96 00 00 00 01 02 01 02 0C", K::Waypoint, 0},
        {"waypoint count", uplink::waypointCount(7), "24 57 49 46 49 54 07 07 07 54", K::WaypointCount, 7},
        // 6 x (05+DC) + 2 x (06+0E) = 0x56E -> 6E, then '*'.
        {"heartbeat", uplink::heartbeat(1),
         "24 49 57 46 49 05 DC 05 DC 05 DC 06 0E 05 DC 05 DC 05 DC 06 0E 00 00 00 00 00 00 00 6E 2A", K::Heartbeat, 0},
        {"idle heartbeat", uplink::heartbeat(0), "", K::IdleHeartbeat, 0},
        {"heartbeat of another value", uplink::heartbeat(2), "", K::IdleHeartbeat, 0},
    };
    std::vector<SUplinkFrame> read;
    CUplinkParser parser([&read](const SUplinkFrame& f) { read.push_back(f); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes expected = hex(c.hex);
        expected.resize(30, 0);
        EXPECT_EQ(c.frame, expected);
        parser.feed(c.frame);
        ASSERT_EQ(read.size(), std::size_t(&c - cases) + 1);
        EXPECT_EQ(read.back().kind, c.kind);
        EXPECT_EQ(read.back().code, c.code);
    }
    EXPECT_EQ(uplink::attitudeAlignment(), ascii("$SAHRS"));
    parser.feed(uplink::attitudeAlignment());
    ASSERT_EQ(read.size(), std::size(cases) + 1);
    EXPECT_EQ(read.back().kind, EUplinkKind::AttitudeAlignment);
    EXPECT_EQ(parser.bytesDropped(), 0u);
    EXPECT_EQ(read[2].data, data);
    EXPECT_EQ(read[4].altitudeDecimetres, 1200);
    EXPECT_EQ(std::tie(read[5].a, read[5].b), std::make_tuple(22.5f, 113.5f));
    EXPECT_EQ(std::tie(read[6].a, read[6].b), std::make_tuple(-1.0f, 2.0f));
    EXPECT_EQ(read[11].values, values);
    const SUplinkFrame& w = read[12];
    EXPECT_EQ(std::tie(w.number, w.latitude, w.longitude, w.altitudeMetres, w.circleTime, w.circleFlag, w.photoMode),
              std::make_tuple(3, 22.5f, 113.5f, 150, 0x0102, 1, 2));
    EXPECT_EQ(read[14].sticks, (std::array<uint16_t, 4>{1500, 1500, 1500, 1550}));
}

struct CRecordingOutput : IByteOutput {
    std::vector<Bytes> sent;
    void send(std::span<const uint8_t> bytes) override { sent.emplace_back(bytes.begin(), bytes.end()); }
};

TEST(UplinkRouter, SendsOnEachOpenLink)
{
    CRecordingOutput serial, wifi;
    CUplinkRouter router(serial, wifi);
    const Bytes frame = uplink::commandCode(kCommandReturnHome), alignment = uplink::attitudeAlignment();
    router.sendOnBothLinks(frame); // neither link open: nowhere
    router.setSerialOpen(true);
    router.setWifiActive(true);
    router.sendOnBothLinks(frame);
    router.setSerialOpen(false);
    router.sendOnBothLinks(frame);
    router.sendOnSerial(alignment); // serial closed: nowhere
    router.setSerialOpen(true);
    router.sendOnSerial(alignment);
    EXPECT_EQ(serial.sent, (std::vector<Bytes>{frame, alignment}));
    EXPECT_EQ(wifi.sent, (std::vector<Bytes>{frame, frame}));
}

} // namespace
