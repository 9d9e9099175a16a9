#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"
#include "protocol/SerialParser.h"

using namespace orvex;
using namespace orvex::test;

namespace {

struct SerialParserTest : ::testing::Test {
    CRecordingSink sink;
    CSerialParser parser{sink};
    void feed(const Bytes& b) { parser.feed(b); }
};

TEST_F(SerialParserTest, AllKeywordsBackToBackInOneStream)
{
    // Noise ("abc", "XYZ12") goes up to the next '$', an unknown head one byte at a time; only a
    // keyword's compared bytes count ("$PAIX" is a $PAI, "$PARAM" a $PAR). A GPS line one byte short
    // of a dispatch is consumed without a position; "$MG1" (WiFi only) is dropped as unknown and noise.
    Bytes pai = ascii("$PAIX");
    zeros(pai, 9);
    Bytes par = ascii("$PARAM");
    zeros(par, 38);
    Bytes stream = ascii("abc$$XYZ12");
    std::vector<std::string> expected;
    for (const auto& sample : sampleFrames()) {
        stream << sample.frame;
        if (sample.event != "$MG1")
            expected.push_back(sample.event);
    }
    stream << withSum(pai) << withSum(par) << ascii("$GPGGA,123519.00,4807.0380,N,01131.0000,E\n#");
    expected.insert(expected.end(), {"$PAI", "$PAR", "$GPGGA"});
    feed(stream);
    ASSERT_EQ(sink.events, expected);
    EXPECT_EQ(sink.positions.size(), 2u);
    EXPECT_EQ(sink.droppedFor(EDropReason::UnknownKeyword), 2u + 1u);
    EXPECT_EQ(sink.droppedFor(EDropReason::NoiseBeforeHead), 3u + 5u + 24u + 1u);
    // Decoded values of the two the decoder tests do not cover, and the two long heads.
    EXPECT_EQ(sink.indexEchoes[0].index, 3);
    EXPECT_EQ(sink.indexEchoes[0].first, 22.5f);
    EXPECT_EQ(sink.servos[0].position[8], 108);
    EXPECT_EQ(sink.servos[0].reverse[1], 1);
    EXPECT_EQ(sink.indexEchoes[1].index, 'X');
    EXPECT_EQ(sink.parameters[1].values[0], 'A');
}

// A frame acts on its last byte, an acknowledgement (its last six bytes) when the next byte
// arrives, a GPS line on its LF.
TEST_F(SerialParserTest, FramesActOnTheirLastByteAndResetForgetsAPartialOne)
{
    const Bytes frame = stpFrame(1.0f, 2.0f);
    const Bytes allButLast(frame.begin(), frame.end() - 1);
    feed(allButLast);
    parser.reset();
    EXPECT_EQ(parser.fillCount(), 0u);
    feed(allButLast);
    EXPECT_TRUE(sink.records.empty());
    parser.feed(frame.back());
    EXPECT_EQ(sink.records.size(), 1u);

    feed(ascii("$T2POK"));
    EXPECT_EQ(parser.fillCount(), 6u);
    parser.feed(uint8_t{0x00});
    ASSERT_EQ(sink.messages, std::vector<std::string>{"AP parameter updateed successfully!!!"});
    EXPECT_EQ(parser.fillCount(), 1u) << "the six bytes are removed as the next read is issued";

    feed(ascii("$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08"));
    feed(stpFrame(1.0f, 1.0f)); // swallowed by the waiting line
    feed(ascii("\n"));
    ASSERT_EQ(sink.nmeaLines.size(), 1u);
    EXPECT_EQ(sink.nmeaLines[0].length, 46u + 99u + 1u);
    EXPECT_EQ(parser.fillCount(), 0u);
}

TEST(SerialParserBadSum, DropsTheKeywordsCountThenFindsTheNextFrame)
{
    const auto badSum = [](std::string_view event) {
        Bytes b = sampleFrame(event);
        b.back() ^= 0xFF;
        return b;
    };
    // The last row: a "$STP" cut short after 50 bytes, its latitude bytes holding "$PAI", which is
    // taken for a $PAI whose sum fails; the frame that follows is found all the same.
    Bytes cut = ascii("$STP$PAI");
    zeros(cut, 42);
    const struct {
        Bytes bad;
        std::size_t count;
        std::vector<std::string> keywords;
    } rows[] = {{badSum("$PAI"), 4, {"$PAI"}}, {badSum("$STP"), 4, {"$STP"}}, {badSum("$PAR"), 4, {"$PAR"}},
                {badSum("$P2T"), 4, {"$P2T"}}, {badSum("$SETD"), 5, {"$SETD"}},
                {badSum("$DJSJ"), 5, {"$DJSJ"}}, {cut, 4, {"$STP", "$PAI"}}};
    for (const auto& r : rows) {
        SCOPED_TRACE("row " + std::to_string(&r - rows));
        CRecordingSink s;
        CSerialParser p(s);
        p.feed(cat({r.bad, stpFrame(51.0f, 61.0f)}));
        ASSERT_EQ(s.events, std::vector<std::string>{"$STP"});
        EXPECT_EQ(s.records[0].latitude(), 51.0f);
        std::vector<std::string> keywords;
        for (const auto& d : s.drops)
            if (d.reason == EDropReason::BadChecksum)
                keywords.emplace_back(d.keyword);
        ASSERT_EQ(keywords, r.keywords);
        EXPECT_EQ(s.drops[0].count, r.count) << "the first drop is the bad sum";
    }
}

// A handler that feeds the same parser (as a nested event loop of a modal box would) gets its
// bytes parsed after it returns, in order.
struct CReentrantSink : CRecordingSink {
    CSerialParser* parser = nullptr;
    Bytes inject;
    void onAcknowledgement(const SAcknowledgement& ack) override
    {
        CRecordingSink::onAcknowledgement(ack);
        parser->feed(inject);
        events.push_back("handler returned");
    }
};

TEST(SerialParserReentry, BytesFedFromAHandlerWaitUntilItReturns)
{
    CReentrantSink sink;
    CSerialParser parser(sink);
    sink.parser = &parser;
    sink.inject = stpFrame(3.0f, 4.0f);
    parser.feed(ascii("$DOCS1!"));
    EXPECT_EQ(sink.events, (std::vector<std::string>{"$DOCS1", "handler returned", "$STP"}));
}

// Feeding a span must act exactly as feeding its bytes one at a time, whatever the pieces. The
// stream also holds a GPS head with more bytes than the buffer and no LF: the line is given up
// once, and frames decode again after it.
TEST(SerialParserPieces, SpansActExactlyAsSingleBytes)
{
    Bytes stream;
    for (const auto& sample : sampleFrames())
        stream << sample.frame << ascii("x?$");
    Bytes bad = stpFrame(1.0f, 2.0f);
    bad[50] ^= 0x10;
    stream << bad << ascii("$GPGGA,") << Bytes(5000, 'A') << ascii("$GPRMC,1\n") << stpFrame(3.0f, 4.0f);
    stream << ascii("$T2POK");

    auto trace = [](const CRecordingSink& s, const CSerialParser& p) {
        std::string t;
        for (const auto& e : s.events)
            t += e + ";";
        for (const auto& d : s.drops)
            t += std::to_string(static_cast<int>(d.reason)) + ":" + std::to_string(d.count) + ";";
        for (const auto& l : s.nmeaLines)
            t += std::to_string(l.length) + ";";
        return t + "fill " + std::to_string(p.fillCount());
    };
    CRecordingSink one;
    CSerialParser byByte(one);
    for (uint8_t b : stream)
        byByte.feed(b);
    for (std::size_t piece : {2u, 7u, 64u, 99u, 100u, 1000u, 100000u}) {
        CRecordingSink s;
        CSerialParser p(s);
        for (std::size_t at = 0; at < stream.size(); at += piece)
            p.feed(std::span<const uint8_t>(stream.data() + at, std::min(piece, stream.size() - at)));
        EXPECT_EQ(trace(s, p), trace(one, byByte)) << "pieces of " << piece;
    }
    EXPECT_EQ(one.records.size(), 2u);
    EXPECT_EQ(one.droppedFor(EDropReason::Overflow), 1u);
}

} // namespace
