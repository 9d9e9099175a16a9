// The aircraft's reading of the ground station's frames: good ones from the builders, broken ones
// laid out by hand.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "core/protocol/ProtocolTestSupport.h"
#include "protocol/Uplink.h"
#include "protocol/UplinkParser.h"

using namespace orvex;
using namespace orvex::test;

namespace {

// A 30-byte frame: the ASCII head, then the hex bytes, then zeros.
Bytes frame30(std::string_view head, std::string_view body = "")
{
    Bytes f = cat({ascii(head), hex(body)});
    f.resize(30, 0);
    return f;
}

struct CCollect {
    std::vector<SUplinkFrame> frames;
    CUplinkParser parser{[this](const SUplinkFrame& f) { frames.push_back(f); }};
    void feedByByte(const Bytes& b)
    {
        for (uint8_t x : b)
            parser.feed(std::span<const uint8_t>(&x, 1));
    }
};

TEST(UplinkParser, EveryLayoutGivesItsKindAndFields)
{
    // The frames come from the ground station's builders, whose bytes UplinkTest pins.
    std::array<uint8_t, 20> values{};
    for (int k = 0; k < 20; ++k)
        values[k] = uint8_t(200 + k);
    const std::array<uint8_t, 8> data{0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3};
    const struct {
        Bytes bytes;
        EUplinkKind kind;
        int code;
    } cases[] = {
        {uplink::commandCode(kCommandReturnHome), EUplinkKind::CommandCode, 87},
        {uplink::altitude(120), EUplinkKind::Altitude, 0},
        {uplink::heartbeat(1), EUplinkKind::Heartbeat, 0},
        {uplink::waypoint(3, 22.5f, 113.25f, 300, 0x0102, 1, 2), EUplinkKind::Waypoint, 0},
        {uplink::parameterWrite(values), EUplinkKind::ParameterWrite, 0},
        {uplink::waypointCount(20), EUplinkKind::WaypointCount, 20},
        {uplink::readbackRequest(), EUplinkKind::ReadbackRequest, 0},
        {uplink::parameterRequest(), EUplinkKind::ParameterRequest, 0},
        {uplink::defaultParameterReset(), EUplinkKind::DefaultParameterReset, 0},
        {uplink::targetWaypoint(4), EUplinkKind::TargetWaypoint, 4},
        {uplink::compassStep(kCompassVertical), EUplinkKind::CompassStep, 88},
        {uplink::commandCodeWithData(0x8A, data), EUplinkKind::CommandCodeWithData, 138},
        {uplink::attitudeAlignment(), EUplinkKind::AttitudeAlignment, 0},
        {uplink::clickToFly(22.5f, 113.25f), EUplinkKind::ClickToFly, 0},
        {uplink::gimbalLockPoint(-1.0f, 2.0f), EUplinkKind::GimbalLockPoint, 0},
        {uplink::heartbeat(0), EUplinkKind::IdleHeartbeat, 0},
    };
    CCollect c;
    for (const auto& k : cases)
        c.feedByByte(k.bytes);
    ASSERT_EQ(c.frames.size(), std::size(cases));
    EXPECT_EQ(c.parser.bytesDropped(), 0u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.frames[i].kind, cases[i].kind);
        if (cases[i].code) {
            EXPECT_EQ(c.frames[i].code, cases[i].code);
        }
    }
    EXPECT_EQ(c.frames[1].altitudeDecimetres, 1200);
    EXPECT_EQ(c.frames[2].sticks, (std::array<uint16_t, 4>{1500, 1500, 1500, 1550}));
    const SUplinkFrame& w = c.frames[3];
    EXPECT_EQ(std::tie(w.number, w.latitude, w.longitude, w.altitudeMetres, w.circleTime, w.circleFlag, w.photoMode),
              std::make_tuple(3, 22.5f, 113.25f, 300, 258, 1, 2));
    EXPECT_EQ(c.frames[4].values, values);
    EXPECT_EQ(c.frames[11].data, data);
    EXPECT_EQ(std::tie(c.frames[13].a, c.frames[13].b), std::make_tuple(22.5f, 113.25f));
    EXPECT_EQ(std::tie(c.frames[14].a, c.frames[14].b), std::make_tuple(-1.0f, 2.0f));
}

TEST(UplinkParser, BrokenSumsAndRedundancyAreRefusedAndTheNextFrameIsFound)
{
    Bytes badWaypoint = uplink::waypoint(3, 22.5f, 113.25f, 300, 0x0102, 1, 2);
    badWaypoint[23] ^= 1;
    Bytes hb = frame30("$IWFI", "05");
    hb[29] = '*';
    const Bytes bad[] = {
        badWaypoint,
        frame30("$WIFI", "57 57 58"),               // the three code bytes disagree
        frame30("$WIFIss", "01"),                   // sums left 0
        frame30("$WIFIT", "05 05 05"),              // no closing 'T'
        frame30("$WIFIQ", "01"),                    // A not repeated, no 'Q' at 22
        hb,                                         // sum missing
        frame30("$WIFI", "8B 8B 8B 01"),            // data not repeated
        frame30("$WIFIjj", "B0 04 B0 04 B1 04"),    // altitude copies disagree
    };
    for (const Bytes& b : bad) {
        SCOPED_TRACE(std::string(b.begin(), b.begin() + 8));
        SUplinkFrame f;
        EXPECT_FALSE(parseUplinkFrame(b, f));
        CCollect c;
        Bytes then = b;
        c.feedByByte(then << uplink::commandCode(88));
        ASSERT_EQ(c.frames.size(), 1u);
        EXPECT_EQ(c.frames[0].code, 88);
    }
}

TEST(UplinkParser, NoiseNeverHangsOrGrowsTheBuffer)
{
    std::mt19937 random(7);
    CCollect c;
    Bytes noise(20000);
    for (auto& b : noise)
        b = uint8_t(random() % 4 == 0 ? '$' : random());
    c.parser.feed(noise);
    EXPECT_LT(c.parser.pending(), 30u);
    c.frames.clear();
    c.parser.feed(Bytes(40, 'x'));
    c.parser.feed(uplink::commandCode(88)); // read once the parser is resynchronised
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].code, 88);
}

} // namespace
