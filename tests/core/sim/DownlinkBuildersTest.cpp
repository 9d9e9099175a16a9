// Sentences of the aircraft's side that the decoder tests do not pin byte by byte, read by the ground
// station's serial receiver.
#include <gtest/gtest.h>

#include "core/protocol/ProtocolTestSupport.h"
#include "protocol/DownlinkBuilders.h"
#include "protocol/SerialParser.h"

using namespace orvex;
using namespace orvex::test;

namespace {

TEST(DownlinkBuilders, TheGroundStationReceiverAcceptsThem)
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
