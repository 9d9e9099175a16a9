// The road of a telemetry record through the shared state: received bytes -> parser -> record
// store -> record update; timer 4 writes the flight log (the close steps' flush: LinkStateTest);
// a replay feeds the same record update; the photo and parameter reports reach their files.
#include "station/GroundStation.h"

#include "core/protocol/ProtocolTestSupport.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace orvex;
using namespace orvex::test;

namespace {

struct SHooks : ILinkHooks {
    int portCloses = 0;
    void closeSerialPort() override { ++portCloses; }
};

// $STP from the layout: latitude 4, longitude 8, positionAux 12, tag 42-43, target waypoint 74,
// sum at 98.
Bytes stp(float lat, float lon, std::uint16_t tag, float aux = 0, bool goodSum = true)
{
    StpBytes f = stpRecord(lat, lon, tag);
    putLeF32(&f[12], aux);
    f[74] = 3;
    sealStp(f, goodSum);
    return Bytes(f.begin(), f.end());
}

class StationLinks : public ::testing::Test {
  protected:
    void SetUp() override
    {
        station = std::make_unique<CGroundStation>(CAppPaths(home.string(), home.string()));
        station->setUi(&ui);
        station->setLinkHooks(&hooks);
    }
    // The tags of the records the windows were told about.
    std::vector<std::uint16_t> shown() const
    {
        std::vector<std::uint16_t> tags;
        for (const auto& r : ui.records)
            tags.push_back(std::uint16_t(r[42] | (r[43] << 8)));
        return tags;
    }
    // The one flight log a link writes.
    fs::path log() const { return (*fs::directory_iterator(home / "Hj")).path(); }

    CTempDir tmp{"orvex-station"};
    fs::path home = tmp.dir();
    SFakeUi ui;
    SHooks hooks;
    SSentBytes serialOut, wifiOut;
    std::unique_ptr<CGroundStation> station;
};

} // namespace

TEST_F(StationLinks, SerialRecordsAreStoredShownAndWrittenByTimer4AndReportsReachTheirFiles)
{
    ASSERT_TRUE(station->openSerialLink([] { return true; }));
    EXPECT_TRUE(station->serialOpen()) << "uplink flag follows the link state";
    // One record with a bad sum (dropped by the parser), one with an invalid latitude (stored but
    // not shown).
    const Bytes bytes = cat({stp(22.0f, 113.00f, 0), stp(22.0f, 113.01f, 1), stp(22.0f, 113.02f, 2, 0, false),
                             stp(95.0f, 113.03f, 3), stp(22.0f, 113.04f, 4)});
    station->receiveBytes(EFraming::ByteStream, bytes);
    const CRecordStore& store = station->linkState().store();
    ASSERT_EQ(store.count(), 4u);
    EXPECT_EQ(store.displayIndex(), 3u);
    EXPECT_EQ(shown(), (std::vector<std::uint16_t>{0, 1, 4}));
    station->flushTick();
    EXPECT_EQ(fs::file_size(log()), 4u * 99) << "timer 4";
    station->receiveBytes(EFraming::Datagrams, stp(22.0f, 113.05f, 9));
    EXPECT_EQ(store.count(), 4u) << "datagrams count only while the WiFi link is on";
    // The parameter and photo reports reach their files.
    station->receiveBytes(EFraming::ByteStream, sampleFrame("$P2T"));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Parameter is successfuly Saved!"});
    EXPECT_TRUE(fs::exists(home / "ParameterSet.txt"));
    station->receiveBytes(EFraming::ByteStream, sampleFrame("$QUZA")); // picture 7 at 113.5, 22.25
    station->receiveBytes(EFraming::ByteStream, ascii("$"));

    station->closeLink();
    EXPECT_EQ(hooks.portCloses, 1);
    EXPECT_FALSE(station->serialOpen());
    ASSERT_GE(ui.scripts.size(), 2u);
    EXPECT_EQ(ui.scripts.end()[-2].first, "clearlineStringplane");
    EXPECT_EQ(ui.scripts.back(), (std::pair<std::string, std::vector<std::string>>{"setPlaneStale", {"1"}}));
    station->shutdownLinks();
    EXPECT_FALSE(station->photoDataFile().isOpen()) << "closed at program end";
    std::ifstream in(home / "PhotoData.txt");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "  7  113.500000  22.250000   0 0.0 0.0  0.0   0.0");
}

// Where the replay starts and how a position maps to a record: FlightLogTest.
TEST_F(StationLinks, ReplayFeedsTheRecordUpdateAndSeekMovesTheMarker)
{
    station->activateWifiLink();
    for (std::uint16_t i = 0; i < 8; ++i)
        station->receiveBytes(EFraming::Datagrams, i < 2 ? stp(0, 0, i) : stp(30.0f + i, 120.0f, i, 7.5f));
    station->closeLink();
    ui.records.clear();

    ASSERT_TRUE(station->startReplay(log().string()).ok);
    EXPECT_FLOAT_EQ(station->currentRecord().latitude(), 32.0f) << "first record that is not empty";
    EXPECT_EQ(station->replayTick(), std::optional<int>(3 * 32768 / 8));
    EXPECT_EQ(shown(), std::vector<std::uint16_t>{3});

    // Record 5 becomes current (latitude 35, altitude positionAux 7.5 + AltitudeGPS 100); a seek
    // to the start copies nothing and still puts the marker on the current record.
    for (const int p : {24576 /* k = 8 x 24576 / 32768 = 6 */, 0}) {
        ui.scripts.clear();
        EXPECT_EQ(station->replaySeek(p), std::optional<int>(p));
        EXPECT_EQ(ui.scripts, (std::vector<std::pair<std::string, std::vector<std::string>>>{
                                  {"clearlineStringplane", {}},
                                  {"setplane", {"35.000000", "120.000000", "107.500000", "3", "0.000000"}}}))
            << p;
    }
    station->replaySeek(24576);
    EXPECT_EQ(ui.records.size(), 1u) << "a seek shows nothing";
    EXPECT_EQ(station->replayTick(), std::optional<int>(7 * 32768 / 8));
    EXPECT_EQ(shown().back(), 7);
}

TEST_F(StationLinks, VerificationUsesTheOpenLiveLinkAndOpensTheSerialLinkOnlyWhenNoneIs)
{
    station->attachSerialOutput(&serialOut);
    station->attachWifiOutput(&wifiOut);
    int opens = 0;
    station->setSerialLinkOpener([&] { return ++opens, station->openSerialLink([] { return true; }); });
    station->route().append(CWayPoint{});
    struct SCase { const char* link; int opens; size_t serialFrames, wifiFrames; bool wifiAfter; };
    for (const SCase c : {SCase{"wifi", 0, 0, 1, true}, SCase{"serial", 0, 1, 0, false}, SCase{"none", 1, 1, 0, false}}) {
        station->closeLink();
        if (c.link == std::string("wifi")) station->activateWifiLink();
        if (c.link == std::string("serial")) station->openSerialLink([] { return true; });
        opens = 0;
        serialOut.sent.clear();
        wifiOut.sent.clear();
        EXPECT_TRUE(station->routeController().verifyCommand()) << c.link;
        EXPECT_EQ(opens, c.opens) << c.link;
        EXPECT_EQ(serialOut.sent.size(), c.serialFrames) << c.link;
        EXPECT_EQ(wifiOut.sent.size(), c.wifiFrames) << c.link;
        EXPECT_EQ(station->wifiActive(), c.wifiAfter) << c.link;
    }
}
