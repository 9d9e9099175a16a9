// The shared ground-station state. Downlink boxes open only after the parser call has returned, so a
// message box cannot re-enter the parser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/protocol/ProtocolTestSupport.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"
#include "station/GroundStation.h"
#include "protocol/Uplink.h"

using namespace orvex;
using namespace orvex::test;
using ::testing::ElementsAre;

namespace {

// "$STP" with heading f32 at 20, storedWaypointCount at 31, altitude i16 at 48, receiverOn at 53,
// targetWaypoint at 74.
Bytes stpFrame(float lat, float lon, std::int16_t altitudeDm, float headingRad, std::uint8_t receiverOn,
               std::uint8_t stored, std::uint8_t target)
{
    StpBytes f = stpRecord(lat, lon);
    putLeF32(&f[20], headingRad);
    f[31] = stored;
    putLeU16(&f[48], altitudeDm);
    f[53] = receiverOn;
    f[74] = target;
    sealStp(f);
    return Bytes(f.begin(), f.end());
}

class GroundStationState : public ::testing::Test {
protected:
    GroundStationState() : station(CAppPaths(dir.path(), dir.path()))
    {
        station.setUi(&ui);
        station.attachSerialOutput(&serial);
        station.attachWifiOutput(&wifi);
    }
    CTempDir dir;
    CGroundStation station;
    SFakeUi ui;
    SSentBytes serial;
    SSentBytes wifi;
};

} // namespace

TEST(GroundStationPlacement, MissingMaximisedAndRectanglePositions)
{
    // Missing, or of the wrong length: normal. Sixteen 0xFF bytes (all four -1): maximised.
    EXPECT_EQ(CGroundStation::placementFromPosition(std::nullopt).kind, EWindowPlacement::Normal);
    EXPECT_EQ(CGroundStation::placementFromPosition(Bytes(12, 0xFF)).kind, EWindowPlacement::Normal);
    EXPECT_EQ(CGroundStation::placementFromPosition(Bytes(16, 0xFF)).kind, EWindowPlacement::Maximised);
    EXPECT_EQ(CGroundStation::maximisedPositionMarker(), Bytes(16, 0xFF));
    // left 10, top 20, right 810, bottom -1: four little-endian i32, not all -1.
    const SWindowPlacement p = CGroundStation::placementFromPosition(
        Bytes{10, 0, 0, 0, 20, 0, 0, 0, 0x2A, 3, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(p.kind, EWindowPlacement::Rectangle);
    EXPECT_EQ(std::vector<int>({p.left, p.top, p.right, p.bottom}), std::vector<int>({10, 20, 810, -1}));
}

TEST_F(GroundStationState, TelemetryAndPhotoMarksReachTheWindowsAndFurtherSinksAfterTheStation)
{
    struct SSink : IDownlinkSink {
        std::vector<std::string> acks;
        int records = 0;
        void onAcknowledgement(const SAcknowledgement& a) override { acks.emplace_back(a.keyword); }
        void onTelemetryRecord(const CTelemetryRecord&, EDownlinkLink) override { ++records; }
    } sink;
    station.addDownlinkSink(&sink);
    CTempDir::write(dir.file("Korva.ini"), "[WayPoint]\r\nAltitudeGPS=-25\r\n");
    station.loadStartupSettings();
    station.openSerialLink([] { return true; });
    // Before any record the current one is the empty start record.
    EXPECT_FLOAT_EQ(station.currentRecord().latitude(), 90.0f);

    // altitude -15 dm: -15 / 10 truncates to -1, plus AltitudeGPS -25 -> -26. Heading pi/2 rad -> 90 degrees.
    station.receiveBytes(EFraming::ByteStream, ascii("$DOYMM$"));
    station.receiveBytes(EFraming::ByteStream, stpFrame(22.5f, 113.25f, -15, 1.5707963f, 1, 7, 4));
    station.receiveBytes(EFraming::ByteStream, ascii("$")); // nothing more needed: $STP acts when complete
    ASSERT_EQ(ui.markers.size(), 1u);
    const SAircraftMarker& m = ui.markers[0];
    EXPECT_FLOAT_EQ(static_cast<float>(m.latitude), 22.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(m.longitude), 113.25f);
    EXPECT_EQ(m.altitudeM, -26);
    EXPECT_EQ(m.targetWaypoint, 4);
    EXPECT_NEAR(m.headingDeg, 90.0, 1e-4);
    EXPECT_EQ(station.receiverOn(), 1);
    EXPECT_EQ(station.storedWaypointCount(), 7);
    EXPECT_EQ(ui.records[0].size(), 99u);
    EXPECT_FLOAT_EQ(station.currentRecord().latitude(), 22.5f);
    EXPECT_THAT(sink.acks, ElementsAre("$DOYMM"));
    EXPECT_EQ(sink.records, 1);
    station.removeDownlinkSink(&sink);
    station.receiveBytes(EFraming::ByteStream, ascii("DOYMA$"));
    EXPECT_EQ(sink.acks.size(), 1u);
    EXPECT_EQ(ui.messages.size(), 2u);

    station.receiveBytes(EFraming::ByteStream, sampleFrame("$PAED")); // a photo mark: the two floats 1.5 and -2
    ASSERT_EQ(ui.scripts.size(), 1u);
    EXPECT_EQ(ui.scripts[0].first, "setPic");
    EXPECT_THAT(ui.scripts[0].second, ElementsAre("1.500000", "-2.000000", "0.000000"));
}

TEST_F(GroundStationState, DownlinkBoxesOpenOneByOneAfterTheParserWhileRecordsGoOn)
{
    // Windows that leave every box open until the test answers it.
    struct SOpenBoxes : SFakeUi {
        std::vector<std::pair<std::string, std::function<void(bool)>>> open;
        void openDownlinkBox(const std::string& text, bool, std::function<void(bool)> closed) override
        {
            EXPECT_FALSE(station->parsing()) << "a box opens only after the parser call has returned";
            open.emplace_back(text, std::move(closed));
        }
        CGroundStation* station = nullptr;
    } boxes;
    boxes.station = &station;
    station.setUi(&boxes);
    station.openSerialLink([] { return true; });
    Bytes bytes = ascii("$SATEL$SATEL$DOCS1");
    const Bytes record = stpFrame(10.0f, 20.0f, 100, 0, 0, 0, 0);
    bytes.insert(bytes.end(), record.begin(), record.end());
    station.receiveBytes(EFraming::ByteStream, bytes);
    ASSERT_EQ(boxes.open.size(), 1u) << "one box at a time";
    EXPECT_EQ(boxes.open[0].first, "当前GPS已有效定位，可以进行姿态对准了，启动请按YES，稍后请按NO");
    station.receiveBytes(EFraming::ByteStream, ascii("$")); // completes the record behind the sentences
    EXPECT_EQ(boxes.markers.size(), 1u) << "records go on while the question waits";
    EXPECT_TRUE(serial.sent.empty()) << "no $SAHRS before the answer";

    boxes.open[0].second(true); // yes: five $SAHRS on the serial link only
    EXPECT_EQ(serial.sent, std::vector<Bytes>(5, ascii("$SAHRS")));
    EXPECT_TRUE(wifi.sent.empty());
    ASSERT_EQ(boxes.open.size(), 2u) << "the next box once the first is answered";
    boxes.open[1].second(false); // no: nothing sent
    EXPECT_EQ(serial.sent.size(), 5u);
    ASSERT_EQ(boxes.open.size(), 3u);
    EXPECT_EQ(boxes.open[2].first, "GIMBALPAN Start Point captured successfully");
    boxes.open[2].second(false);
    EXPECT_EQ(station.queuedBoxCount(), 0u);
}

TEST_F(GroundStationState, ClosingTheLinkGreysTheTelemetryUntilTheNextRecord)
{
    struct SStaleUi : SFakeUi {
        std::vector<bool> stale;
        void showTelemetryStale(bool s) override { stale.push_back(s); }
    } staleUi;
    station.setUi(&staleUi);
    station.closeLink();
    station.closeLink(); // only changes reach the windows
    EXPECT_EQ(staleUi.stale, std::vector<bool>{true}); // the map's setPlaneStale: StationLinks, SimLinkHealth
    EXPECT_TRUE(station.recordUpdate(*CTelemetryRecord::fromBytes(stpFrame(10.0f, 20.0f, 0, 0, 0, 0, 0))));
    EXPECT_EQ(staleUi.stale, (std::vector<bool>{true, false}));
}

TEST_F(GroundStationState, HeartbeatGoesToEveryOpenLinkAndFollowsReceiverOn)
{
    station.heartbeatTick(); // no link open: nothing sent (the counts below)
    station.openSerialLink([] { return true; });
    station.heartbeatTick();
    ASSERT_EQ(serial.sent.size(), 1u);
    EXPECT_EQ(serial.sent[0], Bytes(30, 0)); // receiverOn 0: thirty zero bytes

    station.receiveBytes(EFraming::ByteStream, stpFrame(1.0f, 2.0f, 0, 0, 1, 0, 0));
    station.receiveBytes(EFraming::ByteStream, ascii("$"));
    station.activateWifiLink(); // the serial link closes
    station.heartbeatTick();
    EXPECT_EQ(serial.sent.size(), 1u);
    EXPECT_EQ(wifi.sent, std::vector<Bytes>{uplink::heartbeat(1)}); // its bytes: UplinkTest
}
