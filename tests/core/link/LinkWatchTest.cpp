// The lost/restored rule of the live link, its panes and its counters, on hand-moved time.
#include "link/LinkWatch.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(LinkWatch, SilenceOfTheLostAfterTimeLosesTheLinkOnceAndARecordRestoresIt)
{
    CLinkWatch w;
    w.setLostAfterMs(3000);
    w.start(1000);
    EXPECT_EQ(w.tick(3999), ELinkChange::None) << "silence timed from the open";
    EXPECT_EQ(w.tick(4000), ELinkChange::Lost);
    EXPECT_EQ(w.tick(9000), ELinkChange::None) << "raised once";
    EXPECT_EQ(w.outageText(9999), "数据链路中断 8 秒");
    EXPECT_EQ(w.recordReceived(10000), ELinkChange::Restored);
    EXPECT_EQ(w.recordReceived(10200), ELinkChange::None);
    EXPECT_EQ(w.outageText(10000 + CLinkWatch::kShowOutageMs - 1), "数据链路已恢复，中断 9 秒");
    EXPECT_EQ(w.outageText(10000 + CLinkWatch::kShowOutageMs), "");
    EXPECT_EQ(w.tick(13199), ELinkChange::None) << "silence timed from the last record";
    EXPECT_EQ(w.tick(13200), ELinkChange::Lost);
    EXPECT_EQ(w.recordReceived(14200), ELinkChange::Restored);
    const auto rows = linkStatsRows(w.stats());
    EXPECT_EQ(rows.front(), (std::pair<std::string, std::string>{"记录", "3"}));
    EXPECT_EQ(rows.at(4), (std::pair<std::string, std::string>{"中断次数", "2"}));
    EXPECT_EQ(rows.at(5), (std::pair<std::string, std::string>{"最长中断", "9.0 秒"}));
}

TEST(LinkWatch, StoppedOrNeverStartedRaisesNothingStartCountsFromZeroAndRateCountsTheLastSecond)
{
    CLinkWatch w;
    EXPECT_EQ(w.tick(100000), ELinkChange::None) << "a replay never starts the watch";
    EXPECT_EQ(w.recordReceived(100000), ELinkChange::None);
    EXPECT_EQ(w.stats().records, 0u);
    w.start(0);
    w.recordReceived(10);
    w.sentence("$STP");
    w.sentence("$STP");
    w.sentence("$PAR");
    w.stop();
    EXPECT_EQ(w.tick(100000), ELinkChange::None);
    EXPECT_EQ(w.stats().sentences.at("$STP"), 2u) << "readable after the close";
    w.start(200000);
    EXPECT_EQ(w.stats().records, 0u);
    EXPECT_TRUE(w.stats().sentences.empty());
    EXPECT_EQ(w.rateText(200000), "记录 0 条/秒，尚无记录");
    EXPECT_EQ(w.tick(202999), ELinkChange::None);
    EXPECT_EQ(w.tick(203000), ELinkChange::Lost);
    // The rate pane counts the last second.
    for (int t : {203100, 203300, 203500, 203700, 203900, 204100})
        w.recordReceived(t);
    EXPECT_EQ(w.recordsPerSecond(204100), 5u) << "the record at 203100 ms is a second old";
    EXPECT_EQ(w.rateText(204350), "记录 4 条/秒，最后 0.2 秒前");
}
