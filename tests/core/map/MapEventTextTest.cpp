// Map event texts: codes, comma-terminated fields, numbers by their longest valid prefix.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "map/MapEvent.h"

using namespace orvex;

TEST(MapEventText, CodeAndPayload)
{
    EXPECT_EQ(mapEventCode("1001;30.5,114.3,0,0,;"), "1001;");
    EXPECT_EQ(mapEventPayload("1001;30.5,114.3,0,0,;"), "30.5,114.3,0,0,;");
    EXPECT_EQ(mapEventPayload("1000;"), "");
    EXPECT_EQ(mapEventCode("100"), "");
}

TEST(MapEventText, FieldsAreCommaTerminatedAndRecordsEndWithSemicolon)
{
    CMapFieldReader r("a,b,,last");
    // A last field without its comma reads as empty, and so does everything past the end.
    for (const char* f : {"a", "b", "", "", ""})
        EXPECT_EQ(r.nextField(), f);
    EXPECT_EQ(splitMapRecords("1,2,0,0,;3,4,0,0,;5,6"), (std::vector<std::string_view>{"1,2,0,0,", "3,4,0,0,"}));
}

TEST(MapEventText, NumbersByLongestValidPrefix)
{
    // Only decimal text: no infinities, NaN or hexadecimal from the page.
    const std::pair<const char*, double> reals[] = {{"  30.25abc", 30.25}, {"-1.5e2x", -150}, {".5", 0.5}, {"abc", 0},
                                                    {"-", 0}, {"-infinity", 0}, {"nan", 0}, {"0x1A", 0}};
    for (const auto& [text, value] : reals)
        EXPECT_DOUBLE_EQ(parseMapDouble(text), value) << text;
    EXPECT_TRUE(std::isfinite(parseMapDouble("1e999")));
    const std::pair<const char*, int> ints[] = {{" 120.9m", 120}, {"-7", -7}, {"+8x", 8}, {"x8", 0},
                                                {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN}};
    for (const auto& [text, value] : ints)
        EXPECT_EQ(parseMapInt(text), value) << text;
    // 0.1 is not exact in either precision; the single-precision value is kept.
    EXPECT_EQ(parseMapFloat("0.1"), 0.1f);
    EXPECT_TRUE(std::isfinite(parseMapFloat("1e300")));
}
