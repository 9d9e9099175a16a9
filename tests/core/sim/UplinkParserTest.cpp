// The aircraft's reading of broken frames and noise (good frames are read in UplinkTest).
#include <gtest/gtest.h>

#include <random>

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
        Bytes(29, 0),                               // one zero short of an idle heartbeat
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
