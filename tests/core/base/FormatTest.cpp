#include <gtest/gtest.h>

#include "base/Format.h"

using orvex::strprintf;

TEST(Format, ProducesLongTextsBeyondTheSmallBuffer)
{
    const std::string longText(1000, 'x');
    EXPECT_EQ(strprintf("%s|%d", longText.c_str(), 7), longText + "|7");
    EXPECT_EQ(strprintf("#%02d %.7lf", 3, 1.5), "#03 1.5000000");
    EXPECT_EQ(strprintf("%d 米", -12), "-12 米");
}
