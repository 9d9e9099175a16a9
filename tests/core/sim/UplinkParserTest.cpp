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

// Each broken frame, and a run of noise, is refused; the good frame after it is read and nothing is
// left in the buffer.
TEST(UplinkParser, BrokenFramesAndNoiseAreRefusedAndTheNextFrameIsFound)
{
    Bytes badWaypoint = uplink::waypoint(3, 22.5f, 113.25f, 300, 0x0102, 1, 2);
    badWaypoint[23] ^= 1;
    Bytes hb = frame30("$IWFI", "05");
    hb[29] = '*';
    std::mt19937 random(7);
    Bytes noise(20000);
    for (auto& b : noise)
        b = uint8_t(random() % 4 == 0 ? '$' : random());
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
        noise,
    };
    for (const Bytes& b : bad) {
        SCOPED_TRACE(std::string(b.begin(), b.begin() + 8));
        SUplinkFrame f;
        EXPECT_FALSE(parseUplinkFrame(b, f));
        std::vector<SUplinkFrame> read;
        CUplinkParser parser([&read](const SUplinkFrame& r) { read.push_back(r); });
        for (uint8_t x : cat({b, uplink::commandCode(88)}))
            parser.feed(std::span<const uint8_t>(&x, 1));
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].code, 88);
        EXPECT_EQ(parser.pending(), 0u);
    }
}

} // namespace
