#include <gtest/gtest.h>

#include "base/AddressNames.h"

using namespace orvex;

TEST(AddressNames, EntriesEachFollowedByTheSeparatorTheRestIgnoredAndAnEmptyEntryEndsTheList)
{
    const auto positions = parseNamedPositions("A,1,2,3~`~B,4,5,6~`~C,7,8,9");
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions[0].name, "A");
    EXPECT_EQ(positions[0].entry, "A,1,2,3");
    EXPECT_EQ(positions[0].values, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(positions[1].name, "B");
    EXPECT_EQ(positions[1].entry, "B,4,5,6");
    // Reading stops at a separator in first position.
    EXPECT_TRUE(parseEntryList("~`~A~`~").empty());
    EXPECT_EQ(parseEntryList("A~`~~`~B~`~"), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(parseEntryList("").empty());
    EXPECT_TRUE(parseEntryList("~`").empty());
}

TEST(AddressNames, JoiningKeepsEveryEntryReadable)
{
    const std::vector<std::string> entries{"A,1,2,3", "", "B~`~C", "D~`", "E\n", "F~`\r~G"};
    const std::string joined = joinEntryList(entries);
    EXPECT_EQ(joined, "A,1,2,3~`~BC~`~D~`~E~`~FG~`~");
    EXPECT_EQ(parseEntryList(joined), (std::vector<std::string>{"A,1,2,3", "BC", "D", "E", "FG"}));
}
