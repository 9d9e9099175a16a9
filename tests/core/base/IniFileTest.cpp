#include <gtest/gtest.h>

#include "base/IniFile.h"

using orvex::CIniFile;

TEST(IniFile, FirstMatchingSectionAndKeyWinAndQuotesAreStripped)
{
    CIniFile ini("unused");
    ini.parse("top=0\n[A]\nk=1\nK=2\n[a]\nk=3\n[B]\nq=\"quoted \"\nr='x'\nnokey\n=empty\n");
    EXPECT_EQ(ini.value("a", "K"), "1");
    EXPECT_EQ(ini.value("B", "q"), "quoted ");
    EXPECT_EQ(ini.value("B", "r"), "x");
    EXPECT_FALSE(ini.value("B", "nokey"));
    EXPECT_FALSE(ini.value("", "top")); // lines before any section belong to none
    EXPECT_FALSE(ini.value("C", "k"));
}

TEST(IniFile, SetValueAddsKeysBeforeTrailingBlankLinesOfTheSection)
{
    CIniFile ini("unused");
    ini.parse("[A]\r\nk=1\r\n\r\n[B]\r\n");
    ini.setValue("a", "new", "v");
    ini.setValue("B", "x", "y");
    EXPECT_EQ(ini.text(), "[A]\r\nk=1\r\nnew=v\r\n\r\n[B]\r\nx=y\r\n");
    EXPECT_TRUE(ini.removeValue("A", "K"));
    EXPECT_FALSE(ini.removeValue("A", "K"));
    EXPECT_EQ(ini.text(), "[A]\r\nnew=v\r\n\r\n[B]\r\nx=y\r\n");
}

TEST(IniFile, DecodesOnlyInvalidUtf8AsGb18030)
{
    EXPECT_EQ(CIniFile::decodeText("\xEF\xBB\xBF" "abc"), "abc");
    EXPECT_EQ(CIniFile::decodeText("航线"), "航线");
    EXPECT_EQ(CIniFile::decodeText("\xBA\xBD\xCF\xDF"), "航线"); // GB18030 bytes
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xE8\x88"}) // overlong, surrogate, truncated
        EXPECT_FALSE(CIniFile::isValidUtf8(bad)) << bad;
    // Bytes that are neither: decoded as far as possible, never dropped silently.
    const std::string mixed = CIniFile::decodeText("a\xFF" "b");
    EXPECT_EQ(mixed.front(), 'a');
    EXPECT_EQ(mixed.back(), 'b');
    EXPECT_TRUE(CIniFile::isValidUtf8(mixed));
}

TEST(IniFile, ByteOrderMarkIsKeptSoARewriteReadsBackTheSame)
{
    // A second mark after the first one is the first line's own text: that line is no section
    // header, and must not become one when the file is written and read again.
    CIniFile ini("unused");
    ini.parse("\xEF\xBB\xBF\xEF\xBB\xBF[Options]\r\nPosition=AA\r\n");
    EXPECT_FALSE(ini.value("Options", "Position"));
    ini.setValue("Options", "LastMap", "x");
    CIniFile again("unused");
    again.parse(ini.text());
    EXPECT_EQ(again.value("Options", "LastMap"), std::optional<std::string>("x"));
    EXPECT_FALSE(again.value("Options", "Position"));
}
