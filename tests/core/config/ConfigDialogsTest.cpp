// The configuration dialogs' side of the downlink: frames laid out by hand go through the ground
// station's receivers and reach a dialog only while its open flag is set; the compass
// calibration's lists and values.
#include <gmock/gmock.h>
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GroundStation.h"
#include "config/ConfigDialogs.h"

using namespace orvex;
using ::testing::ElementsAre;

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t sumOf(const Bytes& b, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i < to; ++i)
        s += b[i];
    return static_cast<uint8_t>(s);
}

void putF32(Bytes& b, std::size_t at, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
}

Bytes head(const char* keyword, std::size_t length)
{
    Bytes f(length, 0);
    std::memcpy(f.data(), keyword, std::strlen(keyword));
    return f;
}

// "$PAR": 45 bytes, byte 13 the calibration state, serial checksum of bytes 0-43 at 44.
Bytes parFrame(uint8_t byte13, uint8_t fill = 0)
{
    Bytes f = head("$PAR", 45);
    for (std::size_t i = 4; i < 44; ++i)
        f[i] = fill;
    f[13] = byte13;
    f[44] = sumOf(f, 0, 44);
    return f;
}

// "$MG2" / "$MG3": f32 at 4 and 8, sum of 4-11 at 12.
Bytes mgFrame(const char* keyword, float a, float b, bool goodSum = true)
{
    Bytes f = head(keyword, 13);
    putF32(f, 4, a);
    putF32(f, 8, b);
    f[12] = static_cast<uint8_t>(sumOf(f, 4, 12) + (goodSum ? 0 : 1));
    return f;
}

// "$MG1": five f32 at 4..20, sum of 4-23 at 24.
Bytes mg1Frame(std::array<float, 5> c, bool goodSum = true)
{
    Bytes f = head("$MG1", 25);
    for (std::size_t i = 0; i < 5; ++i)
        putF32(f, 4 + 4 * i, c[i]);
    f[24] = static_cast<uint8_t>(sumOf(f, 4, 24) + (goodSum ? 0 : 1));
    return f;
}

struct SRecordingViews : IParameterDialogView, ICustomParameterDialogView, ICompassDialogView {
    std::vector<SParameterValues> parameters;
    std::vector<SCustomParameters> custom;
    std::vector<std::string> status;
    int plotChanges = 0;
    void showParameterValues(const SParameterValues& v) override { parameters.push_back(v); }
    void showCustomParameters(const SCustomParameters& p) override { custom.push_back(p); }
    void showCompassStatus(const std::string& text) override { status.push_back(text); }
    void compassPlotChanged() override { ++plotChanges; }
};

class ConfigRouting : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_station = std::make_unique<CGroundStation>(CAppPaths(m_dir.path(), m_dir.path()));
        CConfigDialogs& d = m_station->configDialogs();
        d.setParameterView(&m_views);
        d.setCustomParameterView(&m_views);
        d.setCompassView(&m_views);
    }
    void TearDown() override { m_station.reset(); }
    void serial(const Bytes& b) { m_station->receiveBytes(EFraming::ByteStream, b); }

    CTempDir m_dir{"orvex-config"};
    std::unique_ptr<CGroundStation> m_station;
    SRecordingViews m_views;
};

} // namespace

TEST_F(ConfigRouting, ParameterReadbackReachesOnlyAnOpenDialog)
{
    serial(parFrame('X', 7));
    EXPECT_TRUE(m_views.parameters.empty());
    EXPECT_TRUE(m_views.status.empty());

    m_station->parameterDialogOpen = true;
    serial(parFrame('X', 7));
    ASSERT_EQ(m_views.parameters.size(), 1u);
    EXPECT_EQ(m_views.parameters[0].values[0], 7);
    EXPECT_EQ(m_views.parameters[0].values[9], 'X');
    EXPECT_TRUE(m_views.status.empty()) << "the compass dialog is closed";

    m_station->parameterDialogOpen = false;
    m_station->compassDialogOpen = true;
    serial(parFrame('X'));
    EXPECT_EQ(m_views.parameters.size(), 1u);
    EXPECT_THAT(m_views.status, ElementsAre("垂直校准模式"));
}

TEST_F(ConfigRouting, PointCountsAndABadSum)
{
    m_station->compassDialogOpen = true;
    serial(mgFrame("$MG2", 1.0f, 2.0f));
    serial(mgFrame("$MG2", 3.0f, 4.0f));
    serial(mgFrame("$MG2", 5.0f, 6.0f));
    serial(mgFrame("$MG3", 7.0f, 8.0f));
    ASSERT_FALSE(m_views.status.empty());
    EXPECT_EQ(m_views.status.back(), "XY=3  ZY=1");
    EXPECT_EQ(m_views.plotChanges, 4);

    serial(mgFrame("$MG2", 9.0f, 9.0f, false));
    EXPECT_EQ(m_views.status.size(), 5u) << "the count text is refreshed all the same";
    EXPECT_EQ(m_views.status.back(), "XY=3  ZY=1");
    EXPECT_EQ(m_views.plotChanges, 4);

    const CCompassCalibration& c = m_station->configDialogs().compass();
    ASSERT_EQ(c.xyPoints().size(), 3u);
    EXPECT_FLOAT_EQ(c.xyPoints()[2].first, 5.0f);
    EXPECT_FLOAT_EQ(c.xyPoints()[2].second, 6.0f);
    ASSERT_EQ(c.zyPoints().size(), 1u);
    EXPECT_FLOAT_EQ(c.zyPoints()[0].first, 8.0f) << "$MG3 stores (f32 at 8, f32 at 4)";
    EXPECT_FLOAT_EQ(c.zyPoints()[0].second, 7.0f);
}

TEST_F(ConfigRouting, PointsWhileClosedAreNotKeptButEarlierOnesStay)
{
    m_station->compassDialogOpen = true;
    serial(mgFrame("$MG2", 1.0f, 2.0f));
    m_station->compassDialogOpen = false;
    serial(mgFrame("$MG2", 3.0f, 4.0f));
    serial(mgFrame("$MG3", 3.0f, 4.0f));
    m_station->compassDialogOpen = true;
    serial(mgFrame("$MG3", 5.0f, 6.0f));
    EXPECT_EQ(m_views.status.back(), "XY=1  ZY=1");
}

TEST_F(ConfigRouting, CalibrationValuesOverUdp)
{
    m_station->setWifiActive(true);
    m_station->compassDialogOpen = true;
    m_station->receiveBytes(EFraming::Datagrams, mg1Frame({1.5f, -2.0f, 3.0f, 0.5f, 2.0f}));
    EXPECT_THAT(m_station->configDialogs().compass().values(), ElementsAre(1.5f, -2.0f, 3.0f, 0.5f, 2.0f));
    EXPECT_EQ(m_views.plotChanges, 1);
    m_station->receiveBytes(EFraming::Datagrams, mg1Frame({9, 9, 9, 9, 9}, false));
    EXPECT_THAT(m_station->configDialogs().compass().values(), ElementsAre(1.5f, -2.0f, 3.0f, 0.5f, 2.0f));
    m_station->compassDialogOpen = false;
    m_station->receiveBytes(EFraming::Datagrams, mg1Frame({7, 7, 7, 7, 7}));
    EXPECT_THAT(m_station->configDialogs().compass().values(), ElementsAre(1.5f, -2.0f, 3.0f, 0.5f, 2.0f));
    EXPECT_EQ(m_views.plotChanges, 1);
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
    EXPECT_EQ(c.countText(), "XY=" + std::to_string(c.xyPoints().size()) + "  ZY=0");
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
    struct SOut : IByteOutput {
        std::vector<Bytes> sent;
        void send(std::span<const uint8_t> b) override { sent.emplace_back(b.begin(), b.end()); }
    } serial, wifi;
    CUplinkRouter uplink(serial, wifi);
    uplink.setSerialOpen(true);
    std::vector<std::pair<std::string, bool>> asked;
    std::vector<bool> answers;
    const YesNoQuestion ask = [&](std::string_view q, bool defaultYes) {
        asked.emplace_back(std::string(q), defaultYes);
        const bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    const struct {
        ECalibrationCommand command;
        const char* question; // empty: sent at once
        uint8_t code;
    } table[] = {{ECalibrationCommand::GyroZero, "陀螺清零?", 100},
                 {ECalibrationCommand::CaptureNeutral, "捕获中位?", 102},
                 {ECalibrationCommand::CalibrateChannels, "校准通道?", 117},
                 {ECalibrationCommand::SmallCalibration, "小斯校准?", 144},
                 {ECalibrationCommand::CaptureRoll, "", 145},
                 {ECalibrationCommand::CapturePitch, "", 146}};
    for (const auto& c : table) {
        asked.clear();
        serial.sent.clear();
        answers = {true};
        EXPECT_TRUE(runCalibrationCommand(c.command, ask, uplink));
        EXPECT_EQ(asked.empty() ? "" : asked[0].first, c.question);
        ASSERT_EQ(serial.sent.size(), 1u);
        EXPECT_EQ(serial.sent[0][5], c.code);
    }

    asked.clear();
    serial.sent.clear();
    answers = {false};
    EXPECT_FALSE(runCalibrationCommand(ECalibrationCommand::CaptureRoll, ask, uplink, true));
    EXPECT_THAT(asked, ElementsAre(std::pair<std::string, bool>{"飞机正在飞行，确定要执行吗？", false}));
    answers = {true, true};
    EXPECT_TRUE(runCalibrationCommand(ECalibrationCommand::CaptureNeutral, ask, uplink, true));
    EXPECT_EQ(asked.back().first, "捕获中位?");
    ASSERT_EQ(serial.sent.size(), 1u) << "No to the airborne question sent nothing";
    EXPECT_EQ(serial.sent[0][5], 102);
}
