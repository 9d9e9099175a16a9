#include "support/TempDir.h"
#include <gtest/gtest.h>

#include "base/Settings.h"
#include "station/RouteController.h"

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace orvex;

namespace {

struct SCall {
    std::string fn;
    std::vector<std::string> args;
    bool operator==(const SCall&) const = default;
};

class RouteController : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir + name, std::ios::binary) << text;
        return dir + name;
    }

    CTempDir tmp{"orvex-routectl"}; // first members: the others use them
    std::string dir = tmp.path();
    CSettings settings{dir + "Korva.ini"};
    std::vector<std::vector<uint8_t>> frames;
    std::vector<SCall> calls;
    std::vector<std::string> messages;
    std::vector<bool> savedFlags;
    bool serialOpens = true;
    struct SMapRecorder : IMapScript {
        std::vector<SCall>& calls;
        explicit SMapRecorder(std::vector<SCall>& c) : calls(c) {}
        void call(const std::string& fn, const std::vector<std::string>& a) override { calls.push_back({fn, a}); }
    } map{calls};
    CRouteController ctl{settings, map,
                         {[this](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); },
                          [this](const std::string& m) { messages.push_back(m); },
                          [this](bool s) { savedFlags.push_back(s); }, [this] { return serialOpens; }}};
};

} // namespace

TEST_F(RouteController, LoadRedrawsAndFitsTheMapWhateverTheOutcome)
{
    const std::string path = write("a.skw", "114.3 30.5 120 0 0 0 4\n114.4 30.6 130 0 0 0 5\n");
    EXPECT_TRUE(ctl.loadCommand(path));
    const std::vector<SCall> expected{{"delskyway", {}},
                                      {"setskyway", {"30.500000", "114.300000", "120", "4", "0"}},
                                      {"setskyway", {"30.600000", "114.400000", "130", "5", "1"}},
                                      {"setpttomap", {"30.500000", "114.300000"}}};
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
}

TEST_F(RouteController, NewWaypointsReadTheSettingsEveryTime)
{
    EXPECT_EQ(ctl.newWayPoint().altitude, 500);
    ASSERT_TRUE(settings.setInt(keys::kAltitude, 250));
    EXPECT_EQ(ctl.newWayPoint().altitude, 250);
    // A loaded file's records start from the same defaults.
    ASSERT_TRUE(settings.setInt(keys::kDelayTime, 7));
    ctl.loadCommand(write("b.rw", "1 2 3 4 5 6"));
    EXPECT_EQ(ctl.route()[0].delayTime, 7);
    EXPECT_EQ(ctl.route()[0].label, "rw");
}

TEST_F(RouteController, SaveSetsTheFlagOnSuccessOrCancelButNotOnFailure)
{
    ctl.route().append(CWayPoint{});
    EXPECT_TRUE(ctl.saveCommand(dir + "out.skw"));
    EXPECT_TRUE(std::filesystem::exists(dir + "out.skw"));
    EXPECT_FALSE(ctl.saveCommand(std::nullopt));
    EXPECT_EQ(savedFlags, (std::vector<bool>{true, true}));
    EXPECT_FALSE(ctl.saveCommand(dir + "no/such/dir/out.skw"));
    EXPECT_EQ(savedFlags.size(), 2u);
    EXPECT_EQ(messages, std::vector<std::string>{"Save Data Fault"});
}

TEST_F(RouteController, DeleteEmptiesRedrawsAndSetsTheFlag)
{
    ctl.route().append(CWayPoint{});
    ctl.deleteCommand();
    EXPECT_TRUE(ctl.route().empty());
    EXPECT_EQ(calls, (std::vector<SCall>{{"delskyway", {}}}));
    EXPECT_EQ(savedFlags, std::vector<bool>{true});
}

TEST_F(RouteController, UploadEchoColoursTheWaypointAndRefusalsAreShown)
{
    CWayPoint w;
    w.latitude = 30.5;
    w.longitude = 114.3;
    ctl.route().append(w);
    ASSERT_TRUE(ctl.startUpload());
    ctl.uploadTick(0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(std::memcmp(frames[0].data(), "$WIFIS\x01", 7), 0);

    SWaypointEcho echo;
    echo.number = 1;
    echo.latitude = 30.5f;
    echo.longitude = 114.3f;
    echo.altitude = w.altitude;
    echo.photoMode = w.photoMode;
    echo.circleFlag = 1; // the upload forced the first waypoint to circle
    echo.circleTime = 0;
    IDownlinkSink& sink = ctl;
    sink.onWaypointEcho(echo, EDownlinkLink{});
    EXPECT_EQ(calls, (std::vector<SCall>{{"setSkyWayPTcolor", {"0", "1"}}}));

    calls.clear();
    ctl.eraseMarksCommand();
    EXPECT_EQ(calls, (std::vector<SCall>{{"setSkyWayPTcolor", {"0", "0"}}}));

    for (int i = 0; i < 255; ++i)
        ctl.route().append(w);
    EXPECT_FALSE(ctl.startUpload());
    EXPECT_EQ(messages, std::vector<std::string>{kUploadTooManyText});

    frames.clear();
    serialOpens = false;
    EXPECT_FALSE(ctl.verifyCommand());
    EXPECT_TRUE(frames.empty());
    serialOpens = true;
    EXPECT_TRUE(ctl.verifyCommand());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(std::memcmp(frames[0].data(), "$WIFIRRR", 8), 0);
}
