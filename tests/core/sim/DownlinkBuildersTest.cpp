// Sentences of the aircraft's side, checked against byte vectors written from their layouts and
// then through the ground station's serial receiver (the frames the layouts above do not pin).
#include <gtest/gtest.h>

#include "core/protocol/ProtocolTestSupport.h"
#include "protocol/DownlinkBuilders.h"
#include "protocol/SerialParser.h"

using namespace orvex;
using namespace orvex::test;

namespace {

TEST(DownlinkBuilders, LayoutsByteByByte)
{
    // "$SETD", number, latitude, longitude, altitude i32, photo mode i32, 2 spare, circle flag,
    // circle time high byte first, 3 spare, the sum of bytes 0..29.
    Bytes setd = cat({ascii("$SETD"), hex("07 00 00 B4 41 00 80 E3 42 2C 01 00 00 02 00 00 00 00 00 01 01 02 00 00 00")});
    withSum(setd);
    EXPECT_EQ(downlink::waypointEcho({7, 22.5f, 113.75f, 300, 2, 1, 0x0102}), setd);
    // "$MG2" x, y and the sum of the values only (bytes 4..11).
    EXPECT_EQ(downlink::compassPoint(ECompassPlane::XY, 1.5f, -2.25f),
              cat({ascii("$MG2"), hex("00 00 C0 3F 00 00 10 C0 CF")}));
    EXPECT_EQ(downlink::compassPoint(ECompassPlane::ZY, 0, 0), cat({ascii("$MG3"), hex("00 00 00 00 00 00 00 00 00")}));
    Bytes mg1 = cat({ascii("$MG1"), hex("00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40 00 00 A0 40")});
    u8(mg1, sumOf(mg1, 4));
    EXPECT_EQ(downlink::compassCalibration({1, 2, 3, 4, 5}), mg1);
    // "$QUZA": picture number u16, longitude, latitude, i32, three floats and the angle in radians.
    SPhotoReport r;
    r.pictureNumber = 0x0107;
    r.longitude = 113.5f;
    r.latitude = 22.25f;
    r.integerField = -3;
    r.angleRadians = 1.5f;
    Bytes quza = cat({ascii("$QUZA"), hex("07 01 00 00 E3 42 00 00 B2 41 FD FF FF FF")});
    zeros(quza, 8);
    quza << hex("00 00 C0 3F 00 00 00 00");
    EXPECT_EQ(downlink::photoReport(r), quza);
    std::array<uint8_t, 40> p{};
    p[0] = 9;
    p[39] = 200;
    Bytes par = ascii("$PAR");
    u8(par, 9);
    zeros(par, 38);
    u8(par, 200);
    EXPECT_EQ(downlink::parameterValues(p), withSum(par));
    EXPECT_EQ(downlink::acknowledgement(EAcknowledgement::T2POK), ascii("$T2POK"));
}

TEST(DownlinkBuilders, TheGroundStationReceiversAcceptEverySentence)
{
    CTelemetryRecord rec;
    rec.setLatitude(22.6f);
    rec.setLongitude(113.8f);
    rec.bytes()[98] = 0; // the builder must set the checksum
    const Bytes stream = cat({downlink::telemetry(rec), downlink::customParameters(std::array<uint8_t, 32>{}),
                              downlink::acknowledgement(EAcknowledgement::STSAT),
                              downlink::gpgga(22.6142, 113.8431, 12, 34, 56, 9, 30.0)});
    CRecordingSink serial;
    CSerialParser parser(serial);
    parser.feed(stream);
    EXPECT_EQ(serial.events, (std::vector<std::string>{"$STP", "$PUR", "$STSAT", "$GPGGA"}));
    EXPECT_TRUE(serial.drops.empty());
    ASSERT_EQ(serial.nmeaLines.size(), 1u);
    EXPECT_NEAR(serial.nmeaLines[0].record.latitude(), 22.6142, 1e-4);
    EXPECT_NEAR(serial.nmeaLines[0].record.longitude(), 113.8431, 1e-4);
}

TEST(DownlinkBuilders, GpsLineColumnsForSouthWestAndRounding)
{
    // 33.9999999 degrees would print minutes as 60.0000 without the carry.
    const auto line = downlink::gpgga(-33.9999999, -70.5, 1, 2, 3, 12, 5.0);
    const std::string text(line.begin(), line.end());
    EXPECT_EQ(text.substr(0, 41), "$GPGGA,010203.00,3400.0000,S,07030.0000,W");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

} // namespace
