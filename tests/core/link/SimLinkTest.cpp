// The station against the simulated aircraft in-process, on both framings: records flow in through
// the one receive entry and the uplink reaches the aircraft; the aircraft going silent and coming
// back is seen (panes, grey marker) and heard. All on the manual clock.
#include "station/GroundStation.h"
#include "sim/SimLink.h"
#include "voice/VoiceAnnouncer.h"
#include "station/VoiceHookup.h"

#include "support/FakeUi.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace orvex;

namespace {

struct SUi : SFakeUi {
    std::string outage, rate, planeStale;
    bool lost = false;
    void callMapScript(const std::string& fn, const std::vector<std::string>& args) override
    {
        if (fn == "setPlaneStale")
            planeStale = args.at(0);
    }
    void showLinkHealth(const std::string& o, bool l, const std::string& r) override { outage = o, lost = l, rate = r; }
};

struct SEngine : ISpeechEngine {
    std::vector<std::string> said; // a beep is written as "beep"
    bool isAvailable() const override { return true; }
    void configure(const SSpeechConfig&) override {}
    void speak(const std::string& text) override { said.push_back(text); }
    void beep(int, int) override { said.push_back("beep"); }
};

} // namespace

class SimLinkStation : public ::testing::TestWithParam<EFraming> {};

TEST_P(SimLinkStation, RecordsComeInAndTheUplinkReachesTheAircraft)
{
    CTempDir tmp{"orvex-simlink"};
    CGroundStation station(CAppPaths(tmp.dir().string(), tmp.dir().string()));
    SUi ui;
    station.setUi(&ui);
    CManualClock clock;
    CSimLink link(clock, SSimConfig{}, GetParam());
    station.attachLink(link);
    if (GetParam() == EFraming::ByteStream) {
        ASSERT_TRUE(station.openSerialLink([&] { return link.open(); }));
    } else {
        station.activateWifiLink();
        link.open();
    }
    clock.advance(1000); // 5 records a second, the first at once: 6 by the end of the second
    EXPECT_EQ(station.linkState().store().count(), 6u);
    EXPECT_EQ(ui.records.size(), 6u);
    EXPECT_NEAR(station.currentRecord().latitude(), SSimConfig{}.homeLatitude, 1e-4);

    const std::size_t before = link.aircraft().counters().framesReceived;
    station.heartbeatTick();
    EXPECT_EQ(link.aircraft().counters().framesReceived, before + 1);
    const SLinkStats& stats = station.linkWatch().stats();
    EXPECT_EQ(stats.records, 6u);
    EXPECT_EQ(stats.sentences.at("$STP"), 6u);
    EXPECT_EQ(stats.datagrams, GetParam() == EFraming::Datagrams ? 6u : 0u);
    EXPECT_EQ(stats.heartbeats, 1u);
    EXPECT_EQ(stats.uplinkFrames, 1u);

    link.setSilent(true);
    clock.advance(1000);
    EXPECT_EQ(station.linkState().store().count(), 6u) << "a silent link delivers nothing";
    station.detachLink(link);
    link.setSilent(false);
    clock.advance(1000);
    EXPECT_EQ(station.linkState().store().count(), 6u) << "a detached link reaches nobody";
}

INSTANTIATE_TEST_SUITE_P(Framings, SimLinkStation, ::testing::Values(EFraming::ByteStream, EFraming::Datagrams));

TEST(SimLinkHealth, SilenceIsSeenAndHeardOnceAndTheReturnEndsIt)
{
    CTempDir tmp{"orvex-simlink"};
    CGroundStation station(CAppPaths(tmp.dir().string(), tmp.dir().string()));
    SUi ui;
    station.setUi(&ui);
    SEngine engine;
    CVoiceAnnouncer announcer(&engine);
    attachVoiceAnnouncer(station, announcer);
    CManualClock clock;
    station.setClock(clock);
    clock.addTicker([&](std::int64_t) { station.linkWatchTick(); });
    CSimLink link(clock, SSimConfig{}, EFraming::Datagrams);
    station.attachLink(link);
    station.activateWifiLink();
    link.open();
    clock.advance(1000);
    EXPECT_EQ(ui.outage, "");
    EXPECT_EQ(ui.rate.rfind("记录 5 条/秒", 0), 0u) << ui.rate;

    link.setSilent(true);
    clock.advance(2990); // the last record came at 1000 ms
    EXPECT_FALSE(ui.lost);
    clock.advance(10);
    EXPECT_TRUE(ui.lost);
    EXPECT_EQ(ui.planeStale, "1");
    EXPECT_EQ(engine.said, (std::vector<std::string>{"beep", CVoiceAnnouncer::kDataLinkLost}));
    clock.advance(2000);
    EXPECT_EQ(ui.outage, "数据链路中断 5 秒");
    EXPECT_EQ(engine.said.size(), 2u) << "said once";

    link.setSilent(false);
    clock.advance(200);
    EXPECT_FALSE(ui.lost);
    EXPECT_EQ(ui.planeStale, "0");
    EXPECT_EQ(ui.outage, "数据链路已恢复，中断 5 秒");
    EXPECT_EQ(engine.said.back(), CVoiceAnnouncer::kDataLinkRestored);
    EXPECT_EQ(station.linkWatch().stats().outages, 1u);
    const std::size_t heardBefore = engine.said.size();
    const std::string log = station.paths().flightLogDir() + station.linkState().logWriter().fileName();
    ASSERT_TRUE(station.startReplay(log).ok);
    clock.advance(10000);
    EXPECT_EQ(engine.said.size(), heardBefore) << "a replay is not watched";
    EXPECT_EQ(ui.outage, "");
}
