#include "support/TempDir.h"
#include <gtest/gtest.h>

#include "base/Settings.h"
#include "station/RouteController.h"

#include <cstring>
#include <filesystem>

using namespace orvex;

namespace {

class RouteController : public ::testing::Test {
protected:
    CTempDir tmp{"orvex-routectl"}; // first members: the others use them
    std::string dir = tmp.path();
    CSettings settings{dir + "Korva.ini"};
    std::vector<std::vector<uint8_t>> frames;
    std::string calls; // the map's script calls as "name(a,b) name()"
    std::vector<std::string> messages;
    std::vector<bool> savedFlags;
    struct SMapRecorder : IMapScript {
        std::string& calls;
        explicit SMapRecorder(std::string& c) : calls(c) {}
        void call(const std::string& fn, const std::vector<std::string>& a) override
        {
            calls += (calls.empty() ? "" : " ") + fn + "(";
            for (size_t i = 0; i < a.size(); ++i)
                calls += (i ? "," : "") + a[i];
            calls += ")";
        }
    } map{calls};
    CRouteController ctl{settings, map,
                         {[this](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); },
                          [this](const std::string& m) { messages.push_back(m); },
                          [this](bool s) { savedFlags.push_back(s); }, [] { return true; }}};
};

} // namespace

TEST_F(RouteController, LoadRedrawsAndFitsTheMapWhateverTheOutcomeAndReadsTheSettingsNow)
{
    CTempDir::write(dir + "a.skw", "114.3 30.5 120 0 0 0 4\n114.4 30.6 130 0 0 0 5\n");
    EXPECT_TRUE(ctl.loadCommand(dir + "a.skw"));
    const std::string expected = "delskyway() setskyway(30.500000,114.300000,120,4,0) "
                                 "setskyway(30.600000,114.400000,130,5,1) setpttomap(30.500000,114.300000)";
    EXPECT_EQ(calls, expected);
    EXPECT_TRUE(savedFlags.empty()); // loading leaves the saved flag alone

    calls.clear();
    EXPECT_FALSE(ctl.loadCommand(dir + "missing.skw"));
    EXPECT_EQ(messages, std::vector<std::string>{"加载数据失败"});
    EXPECT_EQ(ctl.route().size(), 2u);
    EXPECT_EQ(calls, expected); // redrawn all the same

    calls.clear();
    EXPECT_FALSE(ctl.loadCommand(std::nullopt)); // cancelled
    EXPECT_EQ(calls, expected);

    // The settings are read at each use, not when the controller is made.
    ASSERT_TRUE(settings.setInt(keys::kAltitude, 250));
    ASSERT_TRUE(settings.setInt(keys::kDelayTime, 7));
    EXPECT_EQ(ctl.newWayPoint().altitude, 250);
    CTempDir::write(dir + "b.rw", "1 2 3 4 5 6");
    ctl.loadCommand(dir + "b.rw");
    EXPECT_EQ(ctl.route()[0].delayTime, 7);
}

TEST_F(RouteController, SaveSetsTheFlagOnSuccessOrCancelButNotOnFailureAndDeleteSetsIt)
{
    ctl.route().append(CWayPoint{});
    EXPECT_TRUE(ctl.saveCommand(dir + "out.skw"));
    EXPECT_TRUE(std::filesystem::exists(dir + "out.skw"));
    EXPECT_FALSE(ctl.saveCommand(std::nullopt));
    EXPECT_EQ(savedFlags, (std::vector<bool>{true, true}));
    EXPECT_FALSE(ctl.saveCommand(dir + "no/such/dir/out.skw"));
    EXPECT_EQ(savedFlags.size(), 2u);
    EXPECT_EQ(messages, std::vector<std::string>{"Save Data Fault"});

    ctl.deleteCommand();
    EXPECT_TRUE(ctl.route().empty());
    EXPECT_EQ(calls, "delskyway()");
    EXPECT_EQ(savedFlags.size(), 3u);
}

// The echo rules and the frames are CRouteUpload's (RouteUploadTest); here the wiring to the map,
// the send hook and the message box. Verification's link choice: StationLinks.
TEST_F(RouteController, UploadEchoColoursTheWaypointAndRefusalsAreShown)
{
    CWayPoint w;
    ctl.route().append(w);
    ASSERT_TRUE(ctl.startUpload());
    ctl.uploadTick(0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(std::memcmp(frames[0].data(), "$WIFIS\x01", 7), 0);

    // At 0, 0 as stored; the upload forced the first waypoint to circle with no time limit.
    const SWaypointEcho echo{.number = 1, .altitude = w.altitude, .photoMode = w.photoMode, .circleFlag = 1};
    static_cast<IDownlinkSink&>(ctl).onWaypointEcho(echo, EDownlinkLink{});
    ctl.eraseMarksCommand();
    EXPECT_EQ(calls, "setSkyWayPTcolor(0,1) setSkyWayPTcolor(0,0)");

    for (int i = 0; i < 255; ++i)
        ctl.route().append(w);
    EXPECT_FALSE(ctl.startUpload());
    EXPECT_EQ(messages, std::vector<std::string>{kUploadTooManyText});
}
