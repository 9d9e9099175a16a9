// The aircraft's reading of the ground station's frames, from byte vectors laid out by hand.
#include <gtest/gtest.h>

#include <random>

#include "core/protocol/ProtocolTestSupport.h"
#include "protocol/Uplink.h" // commandCode for the frame after noise
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
    // Waypoint 3 at 22.5, 113.25, 300 m, circle time 0x0102 high byte first, flag 1, photo mode 2;
    // its sum covers bytes 5..22: 53+03+B4+41+80+E2+42+2C+01+01+02+01+02 = 0x322.
    const Bytes waypoint = frame30("$WIFIS", "03 00 00 B4 41 00 80 E2 42 2C 01 00 00 01 02 01 02 22");
    // Parameter write 200..219 with its three sums over 7..13, 14..20, 21..26.
    Bytes ss = ascii("$WIFIss");
    for (int k = 0; k < 20; ++k)
        u8(ss, 200 + k);
    ss << Bytes{sumOf(ss, 7, 14), sumOf(ss, 14, 21), sumOf(ss, 21, 27)};
    // Heartbeat: sticks 1500 x3, 1550, twice, sum of 5..27 at 28, '*' at 29.
    Bytes hb = frame30("$IWFI", "05 DC 05 DC 05 DC 06 0E 05 DC 05 DC 05 DC 06 0E");
    hb[28] = sumOf(hb, 5, 28);
    hb[29] = '*';
    const Bytes custom = frame30("$WIFI", "8A 8A 8A EC ED EE EF F0 F1 F2 F3 EC ED EE EF F0 F1 F2 F3");
    const struct {
        Bytes bytes;
        EUplinkKind kind;
        int code;
    } cases[] = {
        {frame30("$WIFI", "57 57 57"), EUplinkKind::CommandCode, 87},
        {frame30("$WIFIjj", "B0 04 B0 04 B0 04"), EUplinkKind::Altitude, 0},
        {hb, EUplinkKind::Heartbeat, 0},
        {waypoint, EUplinkKind::Waypoint, 0},
        {ss, EUplinkKind::ParameterWrite, 0},
        {frame30("$WIFIT", "14 14 14 54"), EUplinkKind::WaypointCount, 20},
        {frame30("$WIFIRRR"), EUplinkKind::ReadbackRequest, 0},
        {frame30("$WIFIhhh"), EUplinkKind::ParameterRequest, 0},
        {frame30("$HFMR"), EUplinkKind::DefaultParameterReset, 0},
        {frame30("$WIFIgg", "04 04"), EUplinkKind::TargetWaypoint, 4},
        {frame30("$WIFIii", "09 58 09 58 09 58"), EUplinkKind::CompassStep, 88},
        {custom, EUplinkKind::CommandCodeWithData, 138},
        {ascii("$SAHRS"), EUplinkKind::AttitudeAlignment, 0},
        // Click-to-fly and gimbal lock: the letter, A and B twice, the letter again at 22.
        {frame30("$WIFIQ", "00 00 B4 41 00 80 E2 42 00 00 B4 41 00 80 E2 42 51"), EUplinkKind::ClickToFly, 0},
        {frame30("$WIFI\\", "00 00 80 BF 00 00 00 40 00 00 80 BF 00 00 00 40 5C"), EUplinkKind::GimbalLockPoint, 0},
        {Bytes(30, 0), EUplinkKind::IdleHeartbeat, 0},
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
    EXPECT_EQ(c.frames[2].sticks[0], 1500);
    EXPECT_EQ(c.frames[2].sticks[3], 1550);
    const SUplinkFrame& w = c.frames[3];
    EXPECT_EQ(w.number, 3);
    EXPECT_EQ(w.latitude, 22.5f);
    EXPECT_EQ(w.longitude, 113.25f);
    EXPECT_EQ(w.altitudeMetres, 300);
    EXPECT_EQ(w.circleTime, 258);
    EXPECT_EQ(w.circleFlag, 1);
    EXPECT_EQ(w.photoMode, 2);
    EXPECT_EQ(c.frames[4].values[0], 200);
    EXPECT_EQ(c.frames[4].values[19], 219);
    EXPECT_EQ(c.frames[11].data[0], 0xEC);
    EXPECT_EQ(c.frames[11].data[7], 0xF3);
    EXPECT_EQ(c.frames[13].a, 22.5f);
    EXPECT_EQ(c.frames[13].b, 113.25f);
    EXPECT_EQ(c.frames[14].a, -1.0f);
    EXPECT_EQ(c.frames[14].b, 2.0f);
}

TEST(UplinkParser, BrokenSumsAndRedundancyAreRefusedAndTheNextFrameIsFound)
{
    Bytes badWaypoint = frame30("$WIFIS", "03 00 00 B4 41 00 80 E2 42 2C 01 00 00 01 02 01 02 23");
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
