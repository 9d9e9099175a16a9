#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "ProtocolTestSupport.h"
#include "protocol/DownlinkBuilders.h"
#include "protocol/SentenceDecoders.h"

using namespace orvex;
using namespace orvex::test;

// Each layout is written out by hand once; the aircraft side's builder must give the same bytes.
namespace {

SNmeaLine line(std::string_view text)
{
    return decode::nmeaLine(ascii(text));
}

TEST(NmeaLine, ColumnsAndLocalTime)
{
    // The clock is UTC + 16 h mod 24; hemisphere letters are not read (south and west stay positive);
    // empty columns (no fix yet) read as 0; fields a GPS line does not set stay zero.
    const struct {
        std::string text;
        int hour, minute, second;
        float latitude, longitude;
    } cases[] = {
        {"$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", 4, 35, 19, 48.1173f, 11.516666f},
        {"$GPGGA,075519.00,4807.0380,S,01131.0000,W,1,08,0.9,545.4,M,46.9,M,,*47\r\n", 23, 55, 19, 48.1173f, 11.516666f},
        {"$GPRMC,235959.00,A,2232.1200,N,11356.4000,E,0.0,0.0,010124,,,A*00\r\n", 15, 59, 59, 22.535333f, 113.94f},
        {"$GPGGA" + std::string(40, ',') + "\r\n", 16, 0, 0, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto l = line(c.text);
        EXPECT_EQ(std::make_tuple(l.record.timeHour(), l.record.timeMinute(), l.record.timeSecond()),
                  std::make_tuple(c.hour, c.minute, c.second));
        EXPECT_FLOAT_EQ(l.record.latitude(), c.latitude);
        EXPECT_FLOAT_EQ(l.record.longitude(), c.longitude);
        EXPECT_EQ(l.record.altitude(), 0);
    }
}

TEST(NmeaLine, LengthLimitsDecideHowMuchIsDecoded)
{
    // Lengths up to the LF: 17 or less consume only; past the next limits the time, the latitude
    // and the longitude are decoded ($GPGGA 27, 40, 42; $GPRMC 29, 42, 44), past the last dispatched.
    const std::string gga = "$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08";
    const std::string rmc = "$GPRMC,235959.00,A,2232.1200,N,11356.4000,E,0.0";
    const bool n = false, y = true;
    const struct {
        const std::string& text;
        std::size_t length;
        bool time, lat, lon, dispatched;
    } cases[] = {{gga, 17, n, n, n, n}, {gga, 18, y, n, n, n}, {gga, 27, y, n, n, n}, {gga, 28, y, y, n, n},
                 {gga, 40, y, y, n, n}, {gga, 41, y, y, y, n}, {gga, 42, y, y, y, n}, {gga, 43, y, y, y, y},
                 {rmc, 17, n, n, n, n}, {rmc, 29, y, n, n, n}, {rmc, 30, y, y, n, n}, {rmc, 42, y, y, n, n},
                 {rmc, 44, y, y, y, n}, {rmc, 45, y, y, y, y}};
    for (const auto& c : cases) {
        const auto l = line(c.text.substr(0, c.length - 1) + "\n");
        EXPECT_EQ(std::make_tuple(l.timeDecoded, l.latitudeDecoded, l.longitudeDecoded, l.dispatched),
                  std::make_tuple(c.time, c.lat, c.lon, c.dispatched))
            << c.text.substr(0, 6) << " " << c.length;
    }
}

TEST(NmeaLine, OddTextInTheColumnsReadsAsTheCLibraryWould)
{
    // A "nan" minutes column makes the coordinate NaN (the record update then rejects it).
    const auto nan = line("$GPGGA,123519.00,48nan0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_TRUE(std::isnan(nan.record.latitude()));
    // Signs are read; a negative hour still lands in 0..23.
    const auto neg = line("$GPGGA,-93519.00,-807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_EQ(neg.record.timeHour(), 7);
    EXPECT_LT(neg.record.latitude(), 0.0f);
}

TEST(SentenceDecoders, CustomParametersAreSignedExceptThat128AndParameterValuesCarryTheCompassState)
{
    Bytes b = ascii("$PUR");
    for (unsigned v : {0u, 1u, 127u, 128u, 129u, 200u, 255u})
        u8(b, v);
    zeros(b, 35 - b.size());
    u8(b, 2); // the last value
    withSum(b); // the aircraft sends one; this link does not check it
    const auto p = decode::customParameters(b);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::vector<int>(p->values.begin(), p->values.begin() + 7), (std::vector<int>{0, 1, 127, 128, -127, -56, -1}));
    EXPECT_EQ(downlink::customParameters(p->raw), b);
    EXPECT_FALSE(decode::customParameters(Bytes(b.begin(), b.end() - 1)));

    Bytes par = sampleFrame("$PAR"); // values 1 to 40
    par[13] = 'W';
    par.back() = sumOf(par, 0, par.size() - 1);
    const auto v = decode::parameterValues(par);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->compassCalibrationState(), 'W');
    EXPECT_EQ(downlink::parameterValues(v->values), par);
    EXPECT_EQ(compassCalibrationStateText('W'), "水平校准模式");
    EXPECT_EQ(compassCalibrationStateText('X'), "垂直校准模式");
    EXPECT_EQ(compassCalibrationStateText(0), "保存成功");
    EXPECT_EQ(compassCalibrationStateText('Q'), "");
}

TEST(SentenceDecoders, CompassPointsAndCalibrationCheckTheirInnerSums)
{
    Bytes mg3 = sampleFrame("$MG3"); // 0.5 (00 00 00 3F), -0.25 (00 00 80 BE), sum of bytes 4-11
    auto p = decode::compassPoint(mg3);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::tie(p->plane, p->first, p->second, p->sumOk), std::make_tuple(ECompassPlane::ZY, 0.5f, -0.25f, true));
    EXPECT_EQ(downlink::compassPoint(ECompassPlane::ZY, 0.5f, -0.25f), mg3);
    mg3[12] = 0x7C;
    EXPECT_FALSE(decode::compassPoint(mg3)->sumOk);

    Bytes mg1 = sampleFrame("$MG1"); // 1.0 to 5.0, sum of bytes 4-23
    auto c = decode::compassCalibration(mg1);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->sumOk);
    EXPECT_EQ(downlink::compassCalibration(c->values), mg1);
    mg1[24] ^= 1;
    EXPECT_FALSE(decode::compassCalibration(mg1)->sumOk);
}

TEST(SentenceDecoders, PhotoReportLinesAreRightAlignedColumns)
{
    // "$QUZA", picture u16, longitude, latitude, i32, two floats, the angle in radians, a float.
    const std::pair<std::string, std::string> cases[] = {
        {"07 00 | 00 00 E3 42 | 00 00 B2 41 | 00 00 00 00 | 00 00 00 00 | 00 00 00 00 | 00 00 00 00 | 00 00 00 00",
         "  7  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n"},
        // -1, 2, -5, 10.25, -3.75, 3.14159274 rad, 99.96.
        {"D2 04 | 00 00 80 BF | 00 00 00 40 | FB FF FF FF | 00 00 24 41 | 00 00 70 C0 | DB 0F 49 40 | 85 EB C7 42",
         "1234   -1.000000   2.000000  -5 10.2 -3.8 180.0 100.0\n"},
        {"FF FF | 00 00 00 00 | 00 00 00 00 | FF FF FF 7F | 00 00 00 00 | 00 00 00 00 | DA 0F C9 BF | 00 00 00 00",
         "65535    0.000000   0.000000 2147483647 0.0 0.0 -90.0   0.0\n"},
    };
    for (const auto& [body, text] : cases) {
        const Bytes frame = cat({ascii("$QUZA"), hex(body)});
        const auto r = decode::photoReport(frame);
        ASSERT_TRUE(r);
        EXPECT_EQ(photoDataLine(*r), text);
        EXPECT_EQ(downlink::photoReport(*r), frame);
    }
}

TEST(SentenceDecoders, WaypointEchoSnapshotAndSummaryLayouts)
{
    const Bytes setd = sampleFrame("$SETD");
    const auto e = decode::waypointEcho(setd);
    ASSERT_TRUE(e);
    EXPECT_EQ(std::tie(e->number, e->latitude, e->longitude, e->altitude, e->photoMode, e->circleFlag, e->circleTime),
              std::make_tuple(3, 22.5f, 113.75f, -20, 2, 1, 0x1234));
    EXPECT_EQ(downlink::waypointEcho(*e), setd);
    const auto s = decode::parameterSnapshot(sampleFrame("$P2T"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->values[0], 255);
    EXPECT_EQ(s->values[77], 255 - 77);
    const auto sum = decode::routeSummary(sampleFrame("$PASUM"));
    ASSERT_TRUE(sum);
    EXPECT_EQ(std::tie(sum->first, sum->second), std::make_tuple(0x0102, 0x0304));
    const Bytes paed = sampleFrame("$PAED");
    const auto mark = decode::photoMark(paed);
    ASSERT_TRUE(mark);
    EXPECT_EQ(std::tie(mark->first, mark->second), std::make_tuple(1.5f, -2.0f));
    EXPECT_FALSE(decode::photoMark(Bytes(paed.begin(), paed.end() - 1)));
}

TEST(Acknowledgements, SerialTextsAndTheFrame)
{
    EXPECT_EQ(acknowledgementMessage(EAcknowledgement::DOCAP, EDownlinkLink::Serial),
              " Neutral Position captured successfully");
    EXPECT_EQ(acknowledgementMessage(EAcknowledgement::DOCKA, EDownlinkLink::Serial),
              "Parachute open  position captured successfully");
    EXPECT_EQ(acknowledgementMessage(EAcknowledgement::DOYMM, EDownlinkLink::Serial), "小斯采集俯仰成功！");
    EXPECT_EQ(downlink::acknowledgement(EAcknowledgement::T2POK), ascii("$T2POK"));
    EXPECT_EQ(acknowledgementMessage(EAcknowledgement::STSAT, EDownlinkLink::Serial),
              "姿态对准已经启动，请保持飞机加速度不动，并保持到姿态角显示出来为止，整个过程大约10秒");
}

} // namespace
