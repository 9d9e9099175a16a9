// The configuration dialogs: frames laid out by hand go through the ground station's receivers and
// reach a dialog only while its open flag is set; the airborne rule and the calibration commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ConfigFrames.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include "station/GroundStation.h"
#include "config/ConfigDialogs.h"

using namespace orvex;
using namespace orvex::configtest;
using ::testing::ElementsAre;

namespace {

struct SRecordingViews : IParameterDialogView, ICustomParameterDialogView, ICompassDialogView {
    std::vector<SParameterValues> parameters;
    std::vector<std::string> status;
    int plotChanges = 0;
    void showParameterValues(const SParameterValues& v) override { parameters.push_back(v); }
    void showCustomParameters(const SCustomParameters&) override {}
    void showCompassStatus(const std::string& text) override { status.push_back(text); }
    void compassPlotChanged() override { ++plotChanges; }
};

class ConfigRouting : public ::testing::Test {
protected:
    void SetUp() override
    {
        CConfigDialogs& d = m_station.configDialogs();
        d.setParameterView(&m_views);
        d.setCustomParameterView(&m_views);
        d.setCompassView(&m_views);
    }
    void serial(const Bytes& b) { m_station.receiveBytes(EFraming::ByteStream, b); }

    CTempDir m_dir{"orvex-config"};
    CGroundStation m_station{CAppPaths(m_dir.path(), m_dir.path())};
    SRecordingViews m_views;
};

} // namespace

TEST_F(ConfigRouting, ParameterReadbackReachesOnlyAnOpenDialog)
{
    const Bytes par = parFrame({{4, 7}, {13, 'X'}}); // 'X': the compass calibration state
    serial(par); // both dialogs closed: the counts below show nothing arrived
    m_station.parameterDialogOpen = true;
    serial(par);
    ASSERT_EQ(m_views.parameters.size(), 1u);
    EXPECT_EQ(m_views.parameters[0].values[0], 7);
    m_station.parameterDialogOpen = false;
    m_station.compassDialogOpen = true;
    serial(par);
    EXPECT_EQ(m_views.parameters.size(), 1u);
    EXPECT_THAT(m_views.status, ElementsAre("垂直校准模式"));
}

TEST_F(ConfigRouting, PointsAndValuesCountWhileOpenAndABadSumAddsNone)
{
    m_station.compassDialogOpen = true;
    serial(mgFrame("$MG2", {1, 2}));
    m_station.compassDialogOpen = false;
    serial(mgFrame("$MG2", {9, 9}));
    m_station.compassDialogOpen = true;
    serial(mgFrame("$MG2", {5, 6}));
    serial(mgFrame("$MG3", {7, 8}));
    EXPECT_EQ(m_views.status.back(), "XY=2  ZY=1");
    serial(mgFrame("$MG2", {9, 9}, false));
    EXPECT_EQ(m_views.status.size(), 4u) << "the count text is refreshed all the same";
    EXPECT_EQ(m_views.plotChanges, 3);

    const CCompassCalibration& c = m_station.configDialogs().compass();
    const auto point = [](const SCalibrationPoint& p) { return std::pair{p.first, p.second}; };
    ASSERT_EQ(c.xyPoints().size(), 2u);
    EXPECT_EQ(point(c.xyPoints()[1]), std::pair(5.0f, 6.0f));
    ASSERT_EQ(c.zyPoints().size(), 1u);
    EXPECT_EQ(point(c.zyPoints()[0]), std::pair(8.0f, 7.0f)) << "$MG3 stores (f32 at 8, f32 at 4)";

    // Calibration values over UDP: a bad sum or a closed dialog keeps the last good ones.
    m_station.activateWifiLink();
    const auto udp = [&](const Bytes& b) { m_station.receiveBytes(EFraming::Datagrams, b); };
    udp(mgFrame("$MG1", {1.5f, -2.0f, 3.0f, 0.5f, 2.0f}));
    udp(mgFrame("$MG1", {9, 9, 9, 9, 9}, false));
    m_station.compassDialogOpen = false;
    udp(mgFrame("$MG1", {7, 7, 7, 7, 7}));
    EXPECT_THAT(c.values(), ElementsAre(1.5f, -2.0f, 3.0f, 0.5f, 2.0f));
    EXPECT_EQ(m_views.plotChanges, 4);
}

TEST(CompassCalibration, ListsStayBoundedOnEndlessStreams)
{
    CCompassCalibration c;
    const std::size_t total = CCompassCalibration::kMaxPointsPerList + 5;
    for (std::size_t i = 0; i < total; ++i)
        c.addPoint({ECompassPlane::XY, static_cast<float>(i), 0.0f, true});
    EXPECT_LE(c.xyPoints().size(), CCompassCalibration::kMaxPointsPerList);
    EXPECT_GT(c.xyPoints().size(), CCompassCalibration::kMaxPointsPerList / 2);
    EXPECT_FLOAT_EQ(c.xyPoints().back().first, static_cast<float>(total - 1)) << "newest kept";
}

TEST(Airborne, MotorsTurningAboveTwoMetres)
{
    const struct {
        std::size_t pulseByte; // 0: all motors stopped
        int altitudeDm;
        bool airborne;
    } cases[] = {
        {0, 400, false}, {44, 20, false}, {44, 21, true}, {91, 400, true}, {86, -50, false},
    };
    for (const auto& c : cases) {
        StpBytes b = stpRecord(22.5f, 113.0f);
        if (c.pulseByte)
            b[c.pulseByte] = 1;
        putLeU16(&b[48], c.altitudeDm);
        sealStp(b);
        EXPECT_EQ(isAirborne(*CTelemetryRecord::fromBytes(b)), c.airborne) << c.pulseByte << " " << c.altitudeDm;
    }
}

TEST(CalibrationCommands, AskTheirQuestionAndWhileAirborneAskFirstWithNoAsDefault)
{
    SSentBytes serial, wifi;
    CUplinkRouter uplink(serial, wifi);
    uplink.setSerialOpen(true);
    std::vector<std::pair<std::string, bool>> asked;
    bool answer = true;
    const YesNoQuestion ask = [&](std::string_view q, bool defaultYes) {
        asked.emplace_back(std::string(q), defaultYes);
        return answer;
    };
    const struct {
        ECalibrationCommand command;
        const char* question; // empty: sent at once
        uint8_t code;
    } table[] = {{ECalibrationCommand::GyroZero, "陀螺清零?", 100},       {ECalibrationCommand::CaptureNeutral, "捕获中位?", 102},
                 {ECalibrationCommand::CalibrateChannels, "校准通道?", 117}, {ECalibrationCommand::SmallCalibration, "小斯校准?", 144},
                 {ECalibrationCommand::CaptureRoll, "", 145},               {ECalibrationCommand::CapturePitch, "", 146}};
    for (const auto& c : table) {
        asked.clear();
        serial.sent.clear();
        EXPECT_TRUE(runCalibrationCommand(c.command, ask, uplink));
        EXPECT_EQ(asked.empty() ? "" : asked[0].first, c.question);
        EXPECT_EQ(serial.sent, std::vector<Bytes>{uplink::commandCode(c.code)});
    }

    // The last command asked nothing and sent one frame.
    answer = false;
    EXPECT_FALSE(runCalibrationCommand(ECalibrationCommand::CaptureNeutral, ask, uplink, true));
    EXPECT_THAT(asked, ElementsAre(std::pair<std::string, bool>{"飞机正在飞行，确定要执行吗？", false}));
    EXPECT_EQ(serial.sent.size(), 1u) << "No to the airborne question sends nothing";
    answer = true;
    EXPECT_TRUE(runCalibrationCommand(ECalibrationCommand::CaptureNeutral, ask, uplink, true));
    EXPECT_EQ(asked.back().first, "捕获中位?");
    EXPECT_EQ(serial.sent.size(), 2u);
}
