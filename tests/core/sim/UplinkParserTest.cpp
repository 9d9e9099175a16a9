// The aircraft's reading of the ground station's frames, from byte vectors laid out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "protocol/Uplink.h"
#include "protocol/UplinkParser.h"

using namespace orvex;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes frame30(const char* head)
{
    Bytes f(30, 0);
    std::memcpy(f.data(), head, std::strlen(head));
    return f;
}

uint8_t sumOf(const Bytes& f, std::size_t from, std::size_t to) // inclusive
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to; ++i)
        s += f[i];
    return static_cast<uint8_t>(s);
}

struct CCollect {
    std::vector<SUplinkFrame> frames;
    CUplinkParser parser{[this](const SUplinkFrame& f) { frames.push_back(f); }};
    void feed(const Bytes& b) { parser.feed(b); }
    void feedByByte(const Bytes& b)
    {
        for (uint8_t x : b)
            parser.feed(std::span<const uint8_t>(&x, 1));
    }
};

TEST(UplinkParser, CommandCodeAltitudeAndHeartbeatFromTheirLayouts)
{
    Bytes home = frame30("$WIFI");
    home[5] = home[6] = home[7] = 0x57;
    Bytes alt = frame30("$WIFIjj");
    const uint8_t twelveHundred[] = {0xB0, 0x04, 0xB0, 0x04, 0xB0, 0x04};
    std::memcpy(&alt[7], twelveHundred, 6);
    Bytes hb = frame30("$IWFI");
    const uint8_t sticks[] = {0x05, 0xDC, 0x05, 0xDC, 0x05, 0xDC, 0x06, 0x0E};
    std::memcpy(&hb[5], sticks, 8);
    std::memcpy(&hb[13], sticks, 8);
    hb[28] = sumOf(hb, 5, 27);
    hb[29] = '*';

    CCollect c;
    c.feed(home);
    c.feed(alt);
    c.feed(hb);
    ASSERT_EQ(c.frames.size(), 3u);
    EXPECT_EQ(c.frames[0].kind, EUplinkKind::CommandCode);
    EXPECT_EQ(c.frames[0].code, 87);
    EXPECT_EQ(c.frames[1].kind, EUplinkKind::Altitude);
    EXPECT_EQ(c.frames[1].altitudeDecimetres, 1200);
    EXPECT_EQ(c.frames[2].kind, EUplinkKind::Heartbeat);
    EXPECT_EQ(c.frames[2].sticks[0], 1500);
    EXPECT_EQ(c.frames[2].sticks[3], 1550);
    EXPECT_EQ(c.parser.bytesDropped(), 0u);
}

TEST(UplinkParser, WaypointFieldsAndItsSum)
{
    Bytes w = frame30("$WIFIS");
    w[6] = 3;
    const float lat = 22.5f, lon = 113.25f;
    uint32_t u = 0;
    std::memcpy(&u, &lat, 4);
    for (int i = 0; i < 4; ++i)
        w[7 + i] = static_cast<uint8_t>(u >> (8 * i));
    std::memcpy(&u, &lon, 4);
    for (int i = 0; i < 4; ++i)
        w[11 + i] = static_cast<uint8_t>(u >> (8 * i));
    w[15] = 0x2C; // 300 m
    w[16] = 0x01;
    w[19] = 0x01; // circle time 0x0102 = 258 s, high byte first
    w[20] = 0x02;
    w[21] = 1;
    w[22] = 2;
    w[23] = sumOf(w, 5, 22);

    CCollect c;
    c.feedByByte(w);
    ASSERT_EQ(c.frames.size(), 1u);
    const SUplinkFrame& f = c.frames[0];
    EXPECT_EQ(f.kind, EUplinkKind::Waypoint);
    EXPECT_EQ(f.number, 3);
    EXPECT_EQ(f.latitude, lat);
    EXPECT_EQ(f.longitude, lon);
    EXPECT_EQ(f.altitudeMetres, 300);
    EXPECT_EQ(f.circleTime, 258);
    EXPECT_EQ(f.circleFlag, 1);
    EXPECT_EQ(f.photoMode, 2);

    // A wrong sum is refused, and the frame after it is still found.
    Bytes bad = w;
    bad[23] ^= 0x10;
    Bytes both = bad;
    both.insert(both.end(), w.begin(), w.end());
    CCollect c2;
    c2.feed(both);
    ASSERT_EQ(c2.frames.size(), 1u);
    EXPECT_EQ(c2.frames[0].number, 3);
    EXPECT_GE(c2.parser.bytesDropped(), 30u);
}

TEST(UplinkParser, ParameterWriteSumsCountAndRequests)
{
    Bytes ss = frame30("$WIFIss");
    for (int k = 0; k < 20; ++k)
        ss[7 + k] = static_cast<uint8_t>(200 + k);
    ss[27] = sumOf(ss, 7, 13);
    ss[28] = sumOf(ss, 14, 20);
    ss[29] = sumOf(ss, 21, 26);
    Bytes count = frame30("$WIFIT");
    count[6] = count[7] = count[8] = 20;
    count[9] = 'T';
    Bytes rrr = frame30("$WIFIRRR");
    Bytes hhh = frame30("$WIFIhhh");
    Bytes reset = frame30("$HFMR");
    Bytes gg = frame30("$WIFIgg");
    gg[7] = gg[8] = 4;
    Bytes ii = frame30("$WIFIii");
    ii[7] = ii[9] = ii[11] = 9;
    ii[8] = ii[10] = ii[12] = 88;
    Bytes custom = frame30("$WIFI");
    custom[5] = custom[6] = custom[7] = 138;
    for (int i = 0; i < 8; ++i)
        custom[8 + i] = custom[16 + i] = static_cast<uint8_t>(236 + i);
    const char sahrs[] = "$SAHRS";

    Bytes all;
    for (const Bytes* b : {&ss, &count, &rrr, &hhh, &reset, &gg, &ii, &custom})
        all.insert(all.end(), b->begin(), b->end());
    all.insert(all.end(), sahrs, sahrs + 6);
    Bytes idle(30, 0);
    all.insert(all.end(), idle.begin(), idle.end());

    CCollect c;
    c.feedByByte(all);
    ASSERT_EQ(c.frames.size(), 10u);
    EXPECT_EQ(c.frames[0].kind, EUplinkKind::ParameterWrite);
    EXPECT_EQ(c.frames[0].values[0], 200);
    EXPECT_EQ(c.frames[0].values[19], 219);
    EXPECT_EQ(c.frames[1].kind, EUplinkKind::WaypointCount);
    EXPECT_EQ(c.frames[1].code, 20);
    EXPECT_EQ(c.frames[2].kind, EUplinkKind::ReadbackRequest);
    EXPECT_EQ(c.frames[3].kind, EUplinkKind::ParameterRequest);
    EXPECT_EQ(c.frames[4].kind, EUplinkKind::DefaultParameterReset);
    EXPECT_EQ(c.frames[5].kind, EUplinkKind::TargetWaypoint);
    EXPECT_EQ(c.frames[5].code, 4);
    EXPECT_EQ(c.frames[6].kind, EUplinkKind::CompassStep);
    EXPECT_EQ(c.frames[6].code, 88);
    EXPECT_EQ(c.frames[7].kind, EUplinkKind::CommandCodeWithData);
    EXPECT_EQ(c.frames[7].code, 138);
    EXPECT_EQ(c.frames[7].data[0], 236);
    EXPECT_EQ(c.frames[7].data[7], 243);
    EXPECT_EQ(c.frames[8].kind, EUplinkKind::AttitudeAlignment);
    EXPECT_EQ(c.frames[9].kind, EUplinkKind::IdleHeartbeat);
}

TEST(UplinkParser, BrokenRedundancyIsRefused)
{
    std::vector<Bytes> bad;
    Bytes code = frame30("$WIFI");
    code[5] = code[6] = 87;
    code[7] = 88; // the three code bytes disagree
    bad.push_back(code);
    Bytes ss = frame30("$WIFIss");
    ss[7] = 1; // sums left 0
    bad.push_back(ss);
    Bytes t = frame30("$WIFIT");
    t[6] = t[7] = t[8] = 5; // no closing 'T'
    bad.push_back(t);
    Bytes q = frame30("$WIFIQ");
    q[6] = 1; // A not repeated, no 'Q' at 22
    bad.push_back(q);
    Bytes hb = frame30("$IWFI");
    hb[5] = 5;
    hb[29] = '*'; // sum missing
    bad.push_back(hb);
    Bytes custom = frame30("$WIFI");
    custom[5] = custom[6] = custom[7] = 139;
    custom[8] = 1; // data not repeated
    bad.push_back(custom);
    for (const Bytes& b : bad) {
        SUplinkFrame f;
        EXPECT_FALSE(parseUplinkFrame(b, f)) << std::string(b.begin(), b.begin() + 8);
        CCollect c;
        c.feed(b);
        EXPECT_TRUE(c.frames.empty());
    }
}

TEST(UplinkParser, EveryGroundStationBuilderIsUnderstood)
{
    const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t twenty[20];
    for (int i = 0; i < 20; ++i)
        twenty[i] = static_cast<uint8_t>(i * 13);
    const std::vector<std::pair<uplink::Frame, EUplinkKind>> cases = {
        {uplink::commandCode(124), EUplinkKind::CommandCode},
        {uplink::commandCodeWithData(141, std::span<const uint8_t, 8>(eight)),
         EUplinkKind::CommandCodeWithData},
        {uplink::targetWaypoint(9), EUplinkKind::TargetWaypoint},
        {uplink::altitude(55), EUplinkKind::Altitude},
        {uplink::clickToFly(22.6f, 113.8f), EUplinkKind::ClickToFly},
        {uplink::gimbalLockPoint(22.6f, 113.8f), EUplinkKind::GimbalLockPoint},
        {uplink::compassStep(89), EUplinkKind::CompassStep},
        {uplink::parameterRequest(), EUplinkKind::ParameterRequest},
        {uplink::parameterWrite(std::span<const uint8_t, 20>(twenty)), EUplinkKind::ParameterWrite},
        {uplink::defaultParameterReset(), EUplinkKind::DefaultParameterReset},
        {uplink::waypoint(17, 22.61f, 113.84f, 120, 30, 1, 3), EUplinkKind::Waypoint},
        {uplink::waypointCount(17), EUplinkKind::WaypointCount},
        {uplink::readbackRequest(), EUplinkKind::ReadbackRequest},
        {uplink::heartbeat(1), EUplinkKind::Heartbeat},
        {uplink::heartbeat(0), EUplinkKind::IdleHeartbeat},
        {uplink::attitudeAlignment(), EUplinkKind::AttitudeAlignment},
    };
    for (const auto& [frame, kind] : cases) {
        CCollect c;
        c.feed(frame);
        ASSERT_EQ(c.frames.size(), 1u) << static_cast<int>(kind);
        EXPECT_EQ(c.frames[0].kind, kind);
    }
    CCollect c;
    c.feed(uplink::clickToFly(22.6f, 113.8f));
    EXPECT_EQ(c.frames[0].a, 22.6f);
    EXPECT_EQ(c.frames[0].b, 113.8f);
}

TEST(UplinkParser, NoiseNeverHangsOrGrowsTheBuffer)
{
    std::mt19937 random(7);
    CCollect c;
    Bytes noise(20000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random() % 4 == 0 ? '$' : random());
    c.feed(noise);
    EXPECT_LT(c.parser.pending(), 30u);
    // A good frame after the noise is still read once the parser is resynchronised.
    c.frames.clear();
    Bytes pad(40, 'x');
    c.feed(pad);
    c.feed(uplink::commandCode(88));
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].code, 88);
}

} // namespace
