#include <gtest/gtest.h>

#include "protocol/Uplink.h"
#include "route/RouteUpload.h"

using namespace orvex;

namespace {

using Bytes = std::vector<uint8_t>;

struct CUploadRig {
    CSkyWay route;
    std::vector<Bytes> sent;
    std::vector<std::pair<int, int>> colours;
    CRouteUpload upload{route, [this](std::span<const uint8_t> f) { sent.emplace_back(f.begin(), f.end()); },
                        [this](int index, int state) { colours.emplace_back(index, state); }};

    void addPoints(int n)
    {
        for (int i = 0; i < n; ++i) {
            CWayPoint w;
            w.latitude = 30.0 + i * 0.001;
            w.longitude = 114.0 + i * 0.001;
            w.altitude = 100 + i;
            route.append(w);
        }
    }
    // The echo the aircraft sends back for a stored waypoint.
    SWaypointEcho echoOf(size_t index) const
    {
        const CWayPoint& w = route[index];
        return {static_cast<uint8_t>(index + 1), static_cast<float>(w.latitude), static_cast<float>(w.longitude),
                w.altitude, w.photoMode, w.circleFlag, w.circleTime};
    }
    Bytes takeOne()
    {
        EXPECT_EQ(sent.size(), 1u);
        Bytes f = sent.empty() ? Bytes{} : sent.front();
        sent.clear();
        return f;
    }
};

} // namespace

TEST(RouteUpload, WaypointFrameFollowsTheByteLayout)
{
    CWayPoint w;
    w.latitude = 1.0;
    w.longitude = 2.0;
    w.altitude = 500;
    w.circleTime = 0x0102;
    w.circleFlag = 0;
    w.photoMode = 100;
    const Bytes expected{'$', 'W', 'I', 'F', 'I', 'S', 2,    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40,
                         0xF4, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x64, 0xB0, 0,    0,    0,    0,    0,    0};
    EXPECT_EQ(CRouteUpload::waypointFrame(w, 1), expected);
}

TEST(RouteUpload, WaypointsAreSentInTurnThenTheCountUntilItAgrees)
{
    CUploadRig rig;
    rig.addPoints(3);
    ASSERT_EQ(rig.upload.start(), std::nullopt);
    EXPECT_EQ(rig.route[0].circleFlag, 1); // forced for the first waypoint
    for (size_t i = 0; i < 3; ++i) {
        rig.upload.tick(0);
        EXPECT_EQ(rig.takeOne(), CRouteUpload::waypointFrame(rig.route[i], i));
        EXPECT_TRUE(rig.upload.onEcho(rig.echoOf(i)));
    }
    EXPECT_EQ(rig.colours, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(rig.upload.tick(2), std::nullopt);
    EXPECT_EQ(rig.takeOne(), uplink::waypointCount(3));
    EXPECT_EQ(rig.upload.tick(3), "航线上传完成：3 个航点"); // the counts agree: said once
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_EQ(rig.upload.tick(3), std::nullopt);

    // The route emptied ("删除航线") during the next upload: count 0 until the aircraft holds none.
    rig.upload.start();
    rig.route.clear();
    rig.upload.tick(2);
    EXPECT_EQ(rig.takeOne(), uplink::waypointCount(0));
    rig.upload.tick(0);
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_EQ(rig.upload.phase(), kUploadPhaseIdle);
}

// An unanswered waypoint goes again on the fourth tick after its send; a later one is not aged on
// the tick that sends it.
TEST(RouteUpload, UnansweredWaypointsAreResentOnTheFourthTick)
{
    CUploadRig rig;
    rig.addPoints(2);
    rig.upload.start();
    std::vector<int> numbers;
    for (int t = 0; t < 10; ++t) {
        rig.upload.tick(0);
        numbers.push_back(rig.sent.empty() ? 0 : rig.sent.front()[6]); // the waypoint's number
        rig.sent.clear();
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 0, 0, 1, 0, 2, 0, 1, 0}));
}

TEST(RouteUpload, EchoMatchesTheStoredFieldsExactlyAndThePositionWithinItsBound)
{
    struct SCase {
        const char* what;
        double dLat, dLon;
        int dAltitude, dPhoto, dFlag, dTime;
        bool matches;
    } cases[] = {
        {"as stored", 0, 0, 0, 0, 0, 0, true},           {"latitude inside", 0.00015, 0, 0, 0, 0, 0, true},
        {"latitude outside", 0.0003, 0, 0, 0, 0, 0, false}, {"longitude outside", 0, -0.00025, 0, 0, 0, 0, false},
        {"altitude", 0, 0, 1, 0, 0, 0, false},           {"photo mode", 0, 0, 0, 1, 0, 0, false},
        {"circle flag", 0, 0, 0, 0, 1, 0, false},        {"circle time", 0, 0, 0, 0, 0, 1, false},
    };
    CUploadRig rig;
    rig.addPoints(2);
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        SWaypointEcho e = rig.echoOf(1);
        e.latitude = static_cast<float>(rig.route[1].latitude + c.dLat);
        e.longitude = static_cast<float>(rig.route[1].longitude + c.dLon);
        e.altitude += c.dAltitude;
        e.photoMode += c.dPhoto;
        e.circleFlag += c.dFlag;
        e.circleTime += c.dTime;
        EXPECT_EQ(CRouteUpload::echoMatches(rig.route[1], e), c.matches);
    }
    // Numbers outside the route are ignored; a later mismatch keeps an earlier mark.
    SWaypointEcho e = rig.echoOf(1);
    for (uint8_t number : {0, 3}) {
        e.number = number;
        EXPECT_FALSE(rig.upload.onEcho(e));
    }
    EXPECT_TRUE(rig.upload.onEcho(rig.echoOf(1)));
    e = rig.echoOf(1);
    e.altitude = -1;
    EXPECT_FALSE(rig.upload.onEcho(e));
    EXPECT_EQ(rig.route[1].verified, 1);
    EXPECT_EQ(rig.colours.size(), 1u);
}

TEST(RouteUpload, NothingOnAnEmptyRouteAndNoMoreThan255)
{
    CUploadRig rig;
    EXPECT_EQ(rig.upload.start(), std::nullopt);
    EXPECT_EQ(rig.upload.phase(), kUploadPhaseIdle);
    rig.addPoints(256);
    EXPECT_EQ(rig.upload.start(), std::string(kUploadTooManyText));
    EXPECT_EQ(rig.upload.phase(), kUploadPhaseIdle);
    EXPECT_EQ(rig.upload.sendSingleWaypoint(255), std::string(kUploadTooManyText));
    EXPECT_TRUE(rig.sent.empty());

    rig.route.removeAt(255);
    EXPECT_EQ(rig.upload.start(), std::nullopt); // 255 can be numbered
    rig.upload.tick(0);
    EXPECT_EQ(rig.takeOne(), CRouteUpload::waypointFrame(rig.route[0], 0));
    // Growing the route beyond 255 while uploading stops the machine instead of wrapping.
    rig.route.append(CWayPoint{});
    rig.upload.tick(0);
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_EQ(rig.upload.phase(), kUploadPhaseIdle);
}

TEST(RouteUpload, SingleWaypointVerificationAndErase)
{
    CUploadRig rig;
    rig.addPoints(3);
    EXPECT_EQ(rig.upload.sendSingleWaypoint(1), std::nullopt);
    EXPECT_EQ(rig.sent, std::vector<Bytes>(3, CRouteUpload::waypointFrame(rig.route[1], 1)));
    rig.sent.clear();
    EXPECT_FALSE(rig.upload.requestVerification([] { return false; }));
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_TRUE(rig.upload.requestVerification([] { return true; }));
    EXPECT_EQ(rig.takeOne(), uplink::readbackRequest());

    // Verification echoes mark waypoints without an upload running; the read-back is complete
    // once every waypoint has echoed and the aircraft reports the route's count.
    EXPECT_TRUE(rig.upload.onEcho(rig.echoOf(2)));
    EXPECT_TRUE(rig.upload.onEcho(rig.echoOf(0)));
    EXPECT_EQ(rig.upload.tick(3), std::nullopt); // waypoint 2 has not answered
    EXPECT_TRUE(rig.upload.onEcho(rig.echoOf(1)));
    EXPECT_EQ(rig.upload.tick(2), std::nullopt); // the aircraft holds another count
    EXPECT_EQ(rig.upload.tick(3), "航线上传完成：3 个航点");
    rig.colours.clear();
    rig.upload.eraseMarks();
    EXPECT_EQ(rig.colours, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(rig.route[1].verified, 0);

    // Erasing during an upload stops the sending; the machine waits until the route is acknowledged.
    rig.upload.start();
    rig.upload.tick(0);
    rig.upload.eraseMarks();
    rig.sent.clear();
    for (int t = 0; t < 6; ++t)
        rig.upload.tick(0);
    EXPECT_TRUE(rig.sent.empty());
}
