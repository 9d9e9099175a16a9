#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"
#include "protocol/UdpSentenceStep.h"

using namespace orvex;
using namespace orvex::test;

namespace {

struct UdpSentenceStepTest : ::testing::Test {
    CRecordingSink sink;
    CUdpSentenceStep udp{sink};
    // One datagram, then the data-ready handling with the WiFi link on.
    void datagram(const Bytes& b, bool wifiActive = true)
    {
        udp.append(b);
        udp.run(wifiActive);
    }
};

TEST_F(UdpSentenceStepTest, EveryUdpKeywordIsDecoded)
{
    // "$PAR" has no sum on this link; "$MG3" with a wrong inner sum is handed on, marked.
    Bytes par = sampleFrame("$PAR");
    par.back() ^= 0xFF;
    Bytes mg3 = sampleFrame("$MG3");
    mg3.back() ^= 0xFF;
    // A "$STP" or "$SETD" with a bad sum is consumed whole and counted.
    Bytes badStp = stpFrame(1.0f, 2.0f);
    badStp[98] ^= 0x55;
    Bytes badSetd = sampleFrame("$SETD");
    badSetd[30] ^= 1;
    // Noise, a GPS line and $T2POK (not known on this link) go without an event.
    datagram(cat({ascii("xx"), sampleFrame("$GPGGA"), sampleFrame("$T2POK"), badStp, badSetd, sampleFrame("$STP"),
                  sampleFrame("$SETD"), sampleFrame("$DOCAP"), par, sampleFrame("$MG2"), mg3, sampleFrame("$MG1"),
                  sampleFrame("$PUR")}));
    ASSERT_EQ(sink.events,
              (std::vector<std::string>{"$STP", "$SETD", "$DOCAP", "$PAR", "$MG2", "$MG3", "$MG1", "$PUR"}));
    EXPECT_EQ(sink.messages, std::vector<std::string>{" 中位捕获成功"});
    EXPECT_FALSE(sink.compassPoints[1].sumOk) << "handed on with its sum marked bad";
    EXPECT_EQ(sink.droppedFor(EDropReason::BadChecksum), 99u + 31u);
}

TEST_F(UdpSentenceStepTest, FrameSplitAcrossDatagramsAtEveryPoint)
{
    const Bytes frame = stpFrame(5.0f, 6.0f);
    for (std::size_t cut = 1; cut < frame.size(); ++cut) {
        datagram(Bytes(frame.begin(), frame.begin() + cut));
        ASSERT_EQ(sink.records.size(), cut - 1);
        datagram(Bytes(frame.begin() + cut, frame.end()));
        ASSERT_EQ(sink.records.size(), cut);
    }
}

TEST_F(UdpSentenceStepTest, StepReturnsOneForANoiseByteAndZeroWhenWaiting)
{
    udp.append(ascii("$T2POK"));
    EXPECT_EQ(udp.step(true), 1); // not known on this link: one byte dropped
    EXPECT_EQ(udp.size(), 5u);
    EXPECT_EQ(udp.step(true), 0); // "T2POK" is noise, dropped up to the empty end
    EXPECT_EQ(udp.size(), 0u);
    udp.append(ascii("$STP"));
    EXPECT_EQ(udp.step(true), 0); // fewer than six bytes
    udp.append(ascii("\x01\x02"));
    EXPECT_EQ(udp.step(true), 0); // "$STP" head, frame incomplete: wait
    EXPECT_EQ(udp.size(), 6u);
}

TEST_F(UdpSentenceStepTest, InactiveWifiDiscardsAndNothingSurfacesLater)
{
    const Bytes frame = stpFrame(3.0f, 4.0f);
    datagram(Bytes(frame.begin(), frame.begin() + 40), false);
    EXPECT_EQ(sink.droppedFor(EDropReason::WifiInactive), 40u);
    datagram(Bytes(frame.begin() + 40, frame.end()), true); // the first half is gone
    datagram(frame, true);
    EXPECT_EQ(sink.records.size(), 1u);
}

TEST_F(UdpSentenceStepTest, WorkArrayIsCapped)
{
    CRecordingSink s;
    CUdpSentenceStep u(s, 1000);
    for (int i = 0; i < 50; ++i)
        u.append(Bytes(100, 'x'));
    EXPECT_EQ(u.size(), 1000u);
    EXPECT_EQ(s.droppedFor(EDropReason::Overflow), 4000u);
    u.append(Bytes(5000, 'y')); // larger than the cap: only its newest bytes stay
    EXPECT_EQ(u.size(), 1000u);
    EXPECT_EQ(u.pending().front(), 'y');
    // The newest frames still decode.
    u.append(stpFrame(9.0f, 9.0f));
    u.run(true);
    ASSERT_EQ(s.records.size(), 1u);
}

} // namespace
