// The station against the simulated aircraft in-process, on both framings: records flow in through
// the one receive entry and the uplink reaches the aircraft, all on the manual clock.
#include "app/GroundStation.h"
#include "sim/SimLink.h"

#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace orvex;

namespace {

struct SUi : IGroundStationUi {
    int records = 0;
    void showMessage(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&, bool) override { return false; }
    void telemetryNotify(std::span<const std::uint8_t>, const SAircraftMarker&) override { ++records; }
    void callMapScript(const std::string&, const std::vector<std::string>&) override {}
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
    EXPECT_EQ(ui.records, 6);
    EXPECT_NEAR(station.currentRecord().latitude(), SSimConfig{}.homeLatitude, 1e-4);

    const std::size_t before = link.aircraft().counters().framesReceived;
    station.heartbeatTick();
    EXPECT_EQ(link.aircraft().counters().framesReceived, before + 1);

    link.setSilent(true);
    clock.advance(1000);
    EXPECT_EQ(station.linkState().store().count(), 6u) << "a silent link delivers nothing";
    station.detachLink(link);
    link.setSilent(false);
    clock.advance(1000);
    EXPECT_EQ(station.linkState().store().count(), 6u) << "a detached link reaches nobody";
}

INSTANTIATE_TEST_SUITE_P(Framings, SimLinkStation, ::testing::Values(EFraming::ByteStream, EFraming::Datagrams));
