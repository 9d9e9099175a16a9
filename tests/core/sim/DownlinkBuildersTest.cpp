// The aircraft side's record and GPS line, which the decoder tests do not pin byte by byte (the
// other sentences are built back from their decoded values there).
#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "protocol/DownlinkBuilders.h"

using namespace orvex;

namespace {

TEST(DownlinkBuilders, RecordIsSentWithItsHeadAndSumWritten)
{
    StpBytes blank = stpRecord(22.5f, 113.5f);
    blank[0] = blank[98] = 0;
    const auto sent = downlink::telemetry(CTelemetryRecord(blank));
    const StpBytes expected = stpRecord(22.5f, 113.5f);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), expected.begin(), expected.end()));
}

TEST(DownlinkBuilders, GpsLineColumnsHemispheresAndSum)
{
    // 33.9999999 degrees would print minutes as 60.0000 without the carry.
    const struct {
        double latitude, longitude;
        std::string text;
    } cases[] = {
        {22.6142, 113.8431, "$GPGGA,123456.00,2236.8520,N,11350.5860,E,1,09,0.9,30.0,M,0.0,M,,*6F\r\n"},
        {-33.9999999, -70.5, "$GPGGA,123456.00,3400.0000,S,07030.0000,W,1,09,0.9,30.0,M,0.0,M,,*64\r\n"},
    };
    for (const auto& c : cases) {
        const auto line = downlink::gpgga(c.latitude, c.longitude, 12, 34, 56, 9, 30.0);
        EXPECT_EQ(std::string(line.begin(), line.end()), c.text);
    }
}

} // namespace
