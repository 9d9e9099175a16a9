// Texts and colours of the telemetry panels, from records built byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "panels/PanelTexts.h"

using namespace orvex;

namespace {

struct Record {
    std::array<std::uint8_t, 99> bytes{'$', 'S', 'T', 'P'};
    Record& set(std::size_t at, std::uint8_t v)
    {
        bytes[at] = v;
        return *this;
    }
    Record& setF32(std::size_t at, float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
        return *this;
    }
    Record& setI32(std::size_t at, std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
        return *this;
    }
    PanelRecordBytes view() const { return PanelRecordBytes(bytes); }
};

} // namespace

TEST(PanelFieldReaders, PairsTakeTheHighByteFromWhereTheTableSays)
{
    Record r;
    r.set(46, 0x01).set(52, 0x2C); // take-off distance: high at 46, low at 52
    EXPECT_EQ(flightDataTexts(r.view()).takeoffDistance.text, "300 米");

    r.set(47, 0x77); // the byte after 46 is another field and must not leak in
    EXPECT_EQ(flightDataTexts(r.view()).takeoffDistance.text, "300 米");
}

TEST(PanelFieldReaders, SixteenBitVelocitiesAreTwosComplement)
{
    Record r;
    r.set(51, 0x80).set(50, 0x00); // gps x, high byte 51
    r.set(95, 0x80).set(94, 0x01); // gps y, high byte 95
    r.set(40, 0xFF).set(41, 0xFF); // filter x, high byte 40
    r.set(83, 0x80).set(93, 0x00); // filter lateral, high 83 low 93
    r.set(79, 0x7F).set(89, 0xFF); // filter vertical, high 79 low 89
    const CFlightDataTexts t = flightDataTexts(r.view());
    EXPECT_EQ(t.gpsVelocityX.text, "-32768 ");
    EXPECT_EQ(t.gpsVelocityY.text, "-32767 ");
    EXPECT_EQ(t.ekfVelocityX.text, "-1 ");
    EXPECT_EQ(t.ekfVelocityY.text, "-32768 ");
    EXPECT_EQ(t.ekfVelocityD.text, "32767 ");
    EXPECT_EQ(t.gpsVelocityX.colour, EPanelColour::Plain);
}

TEST(PanelFieldReaders, LateralVelocityDoesNotReadTheNeighbouringByte)
{
    Record r;
    r.set(83, 0x01).set(84, 0xEE).set(93, 0x02);
    EXPECT_EQ(flightDataTexts(r.view()).ekfVelocityY.text, "258 ");
}

TEST(FlightDataPage, VibrationAxesAndColour)
{
    Record r;
    r.set(56, 215);
    CPanelBox v = flightDataTexts(r.view()).vibration;
    EXPECT_EQ(v.text, "上下15");
    EXPECT_EQ(v.colour, EPanelColour::Red);

    r.set(56, 105);
    v = flightDataTexts(r.view()).vibration;
    EXPECT_EQ(v.text, "左右5");
    EXPECT_EQ(v.colour, EPanelColour::Green);

    r.set(56, 150);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.text, "左右50");
    r.set(56, 99);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.text, "前后99");
    r.set(56, 200);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.text, "上下0");
    r.set(56, 255);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.text, "上下55");
    // Threshold: the shown number above 10 is red, 10 itself green.
    r.set(56, 10);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.colour, EPanelColour::Green);
    r.set(56, 11);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.colour, EPanelColour::Red);
    r.set(56, 110);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.colour, EPanelColour::Green);
    r.set(56, 211);
    EXPECT_EQ(flightDataTexts(r.view()).vibration.colour, EPanelColour::Red);
}

TEST(FlightDataPage, ManualServosHaveADeadBandOfOneActualServosNone)
{
    Record r;
    r.set(80, 100).set(32, 101).set(36, 101);
    CFlightDataTexts t = flightDataTexts(r.view());
    EXPECT_EQ(t.manualRudder.text, "中位");
    EXPECT_EQ(t.actualRudder.text, "右1");
    EXPECT_EQ(t.actualRudder.colour, EPanelColour::Green);

    r.set(32, 99).set(36, 99);
    t = flightDataTexts(r.view());
    EXPECT_EQ(t.manualRudder.text, "中位");
    EXPECT_EQ(t.actualRudder.text, "左1");

    r.set(32, 102).set(36, 100);
    t = flightDataTexts(r.view());
    EXPECT_EQ(t.manualRudder.text, "右2");
    EXPECT_EQ(t.actualRudder.text, "中位");

    // Aileron against its own neutral at 81, elevator push/pull against 82.
    r.set(81, 50).set(33, 40).set(37, 60);
    r.set(82, 128).set(34, 140).set(38, 120);
    t = flightDataTexts(r.view());
    EXPECT_EQ(t.manualAileron.text, "左10");
    EXPECT_EQ(t.actualAileron.text, "右10");
    EXPECT_EQ(t.manualElevator.text, "拉12");
    EXPECT_EQ(t.actualElevator.text, "推8");
}

TEST(FlightDataPage, ActualRudderColourTurnsRedAtThree)
{
    Record r;
    r.set(80, 100);
    for (int d = 0; d <= 4; ++d) {
        r.set(36, static_cast<std::uint8_t>(100 - d));
        const auto expected = d < 3 ? EPanelColour::Green : EPanelColour::Red;
        EXPECT_EQ(flightDataTexts(r.view()).actualRudder.colour, expected) << "d=" << d;
    }
}

TEST(FlightDataPage, ThrottleRuleShowsEightAsSeven)
{
    Record r;
    r.set(35, 192).set(39, 192);
    CFlightDataTexts t = flightDataTexts(r.view());
    EXPECT_EQ(t.manualThrottle.text, "7");
    EXPECT_EQ(t.manualThrottle.colour, EPanelColour::Red);
    EXPECT_EQ(t.actualThrottle.text, "7");

    r.set(35, 159); // 41: first green
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.text, "41");
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.colour, EPanelColour::Green);
    r.set(35, 160); // 40: red
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.colour, EPanelColour::Red);
    r.set(35, 193); // 7 stays 7, 9 stays 9
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.text, "7");
    r.set(35, 191);
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.text, "9");
    r.set(35, 255); // above 200 the number is negative
    EXPECT_EQ(flightDataTexts(r.view()).manualThrottle.text, "-55");
}

TEST(FlightDataPage, SatelliteSwayAndReceiverColours)
{
    Record r;
    r.set(24, 5);
    EXPECT_EQ(flightDataTexts(r.view()).satellites.text, "5 ");
    EXPECT_EQ(flightDataTexts(r.view()).satellites.colour, EPanelColour::Red);
    r.set(24, 6);
    EXPECT_EQ(flightDataTexts(r.view()).satellites.colour, EPanelColour::Green);

    r.set(54, 10);
    EXPECT_EQ(flightDataTexts(r.view()).sway.text, "10");
    EXPECT_EQ(flightDataTexts(r.view()).sway.colour, EPanelColour::Green);
    r.set(54, 11);
    EXPECT_EQ(flightDataTexts(r.view()).sway.colour, EPanelColour::Red);

    r.set(53, 0);
    EXPECT_EQ(flightDataTexts(r.view()).receiver.text, "关");
    EXPECT_EQ(flightDataTexts(r.view()).receiver.colour, EPanelColour::Red);
    r.set(53, 1);
    EXPECT_EQ(flightDataTexts(r.view()).receiver.text, "开");
    EXPECT_EQ(flightDataTexts(r.view()).receiver.colour, EPanelColour::Green);
    r.set(53, 2); // not "on", but not 0 either
    EXPECT_EQ(flightDataTexts(r.view()).receiver.text, "关");
    EXPECT_EQ(flightDataTexts(r.view()).receiver.colour, EPanelColour::Green);
}

TEST(FlightDataPage, PositionHasSevenDecimals)
{
    Record r;
    r.setF32(4, 30.5f).setF32(8, -120.25f);
    const CFlightDataTexts t = flightDataTexts(r.view());
    EXPECT_EQ(t.latitude.text, "30.5000000");
    EXPECT_EQ(t.longitude.text, "-120.2500000");
}

TEST(OtherDataPage, SerialNumberOnlyAboveTenThousand)
{
    Record r;
    r.set(43, 9000 >> 8).set(42, 9000 & 0xFF);
    EXPECT_FALSE(otherDataTexts(r.view()).serialNumber.has_value());
    r.set(43, 10000 >> 8).set(42, 10000 & 0xFF);
    EXPECT_FALSE(otherDataTexts(r.view()).serialNumber.has_value());
    r.set(43, 10001 >> 8).set(42, 10001 & 0xFF);
    ASSERT_TRUE(otherDataTexts(r.view()).serialNumber.has_value());
    EXPECT_EQ(*otherDataTexts(r.view()).serialNumber, "10001");
    r.set(43, 0xFF).set(42, 0xFF);
    EXPECT_EQ(*otherDataTexts(r.view()).serialNumber, "65535");
}

TEST(OtherDataPage, FormatsOfEveryBox)
{
    Record r;
    r.set(97, 0x01).set(96, 0x02);   // 258 -> 100258
    r.setF32(20, 1.5707963f);        // 90 degrees
    r.setI32(66, -12).setI32(62, 7); // roll right 12, nose up 7
    r.set(92, 23);
    r.set(77, 0x12).set(76, 0x34); // 0x1234 = 4660
    r.set(71, 0x04).set(70, 0x00); // 1024 x 5/1024 = 5.00
    const COtherDataTexts t = otherDataTexts(r.view());
    EXPECT_EQ(t.firmwareVersion, "100258");
    EXPECT_EQ(t.heading, "90.0");
    EXPECT_EQ(t.attitude, "右 12,仰 7");
    EXPECT_EQ(t.current, "23 A");
    EXPECT_EQ(t.consumedCapacity, "4660 mAH");
    EXPECT_EQ(t.supplyVoltage, "5.00 V");
    EXPECT_EQ(t.staticAngle, "左 0,仰 0"); // all accelerations zero: level, not NaN
}

TEST(OtherDataPage, StaticAnglesTruncateTowardZero)
{
    // a = -100, c = 100: atan(1) = 45 degrees -> 45 (c positive).
    EXPECT_EQ(staticAngles(-100, 0, 100).roll, 45);
    // c negative adds 180 and wraps: a = 100, c = -100 -> atan(1) + 180 = 225.0000008 (the degree
    // factor is slightly above 180/pi) -> -134.9999992, truncated toward zero to -134.
    EXPECT_EQ(staticAngles(100, 0, -100).roll, -134);
    // a = -100, c = -100: atan(-1) + 180 = 134.9999992 -> 134.
    EXPECT_EQ(staticAngles(-100, 0, -100).roll, 134);
    // roll 30.96 degrees (atan(0.6)) truncates to 30; the negative one to -30, not -31.
    EXPECT_EQ(staticAngles(-60, 0, 100).roll, 30);
    EXPECT_EQ(staticAngles(60, 0, 100).roll, -30);
    // pitch: b = 60, across = 100 -> -atan(-0.6) = 30.96 -> 30; b = -60 -> -30.
    EXPECT_EQ(staticAngles(0, 60, 100).pitch, 30);
    EXPECT_EQ(staticAngles(0, -60, 100).pitch, -30);
    // Zero third axis: no division fault, +-90 or 0.
    EXPECT_EQ(staticAngles(-5, 0, 0).roll, 90);
    EXPECT_EQ(staticAngles(5, 0, 0).roll, -90);
    EXPECT_EQ(staticAngles(0, 0, 0).roll, 0);
    EXPECT_EQ(staticAngles(0, 7, 0).pitch, 90);
    EXPECT_EQ(staticAngles(0, 0, 0).pitch, 0);
    EXPECT_EQ(staticAngles(0, 0, -1).roll, 180);
}

TEST(OtherDataPage, StaticAngleReadsTheAccelerationPairsFromTheRecord)
{
    Record r;
    const auto put = [&](std::size_t low, int v) {
        const auto u = static_cast<std::uint16_t>(v);
        r.set(low, u & 0xFF).set(low + 1, u >> 8);
    };
    put(58, -100); // a
    put(60, 60);   // b
    put(72, 100);  // c
    // roll atan(1) = 45; pitch -atan(-60 / 141.42) = 22.99 -> 22
    EXPECT_EQ(otherDataTexts(r.view()).staticAngle, "左 45,仰 22");
}

TEST(AttitudeTexts, SignsWordsAndPrefix)
{
    EXPECT_EQ(attitudeText(0, 0, true), "姿态 左 0,仰 0");
    EXPECT_EQ(attitudeText(5, -3, true), "姿态 左 5,俯 3");
    EXPECT_EQ(attitudeText(-5, 3, true), "姿态 右 5,仰 3");
    EXPECT_EQ(attitudeText(-5, -3, false), "右 5,俯 3");
    EXPECT_EQ(attitudeText(INT32_MIN, INT32_MIN, false), "右 2147483648,俯 2147483648");
}

TEST(FlightControlPanel, TextsAndInstrumentValues)
{
    Record r;
    const auto altitude = static_cast<std::uint16_t>(-1239); // -123.9 m
    r.set(48, altitude & 0xFF).set(49, altitude >> 8);
    r.set(85, 0x03).set(84, 0xE8); // 1000 -> 100
    r.setI32(62, -4).setI32(66, 9);
    r.set(75, 2);
    r.set(74, 4).set(31, 7);
    r.set(47, 35);
    const CFlightControlTexts t = flightControlTexts(r.view());
    EXPECT_EQ(t.altimeterFirst, -123);
    EXPECT_EQ(t.altimeterSecond, 100);
    EXPECT_EQ(t.altitudeLabel, "高度 -123 米");
    EXPECT_EQ(t.altitude, "-123");
    EXPECT_EQ(t.attitudeFirst, -4);
    EXPECT_EQ(t.attitudeSecond, -9);
    EXPECT_EQ(t.attitudeLabel, "姿态 左 9,俯 4");
    EXPECT_EQ(t.flightModeIndex, 2);
    EXPECT_STREQ(kFlightModeNames[t.flightModeIndex], "自动导航");
    EXPECT_EQ(t.targetWaypoint, "5/7");
    EXPECT_EQ(t.statusLine, "云台锁定半径：35 米");
}

TEST(FlightControlPanel, ModeOutsideTheListSelectsNothingAndWaypointCountIsSigned)
{
    Record r;
    r.set(75, 11);
    EXPECT_EQ(flightControlTexts(r.view()).flightModeIndex, 11);
    r.set(75, 12);
    EXPECT_EQ(flightControlTexts(r.view()).flightModeIndex, -1);
    r.set(74, 255).set(31, 0xFF);
    EXPECT_EQ(flightControlTexts(r.view()).targetWaypoint, "256/-1");
    EXPECT_EQ(flightControlTexts(r.view()).attitudeSecond, -0.0);
    r.setI32(66, INT32_MIN);
    EXPECT_EQ(flightControlTexts(r.view()).attitudeSecond, 2147483648.0);
}

TEST(PanelRules, EveryRandomRecordYieldsTextsForEveryBox)
{
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        Record r;
        for (std::size_t i = 4; i < r.bytes.size(); ++i)
            r.bytes[i] = static_cast<std::uint8_t>(byte(rng));
        const CFlightDataTexts d = flightDataTexts(r.view());
        for (const CPanelBox* box :
             {&d.takeoffDistance, &d.satellites,    &d.gpsVelocityX,   &d.gpsVelocityY,   &d.ekfVelocityX,
              &d.ekfVelocityY,    &d.ekfVelocityD,  &d.latitude,       &d.longitude,      &d.sway,
              &d.vibration,       &d.manualRudder,  &d.manualAileron,  &d.manualElevator, &d.manualThrottle,
              &d.actualRudder,    &d.actualAileron, &d.actualElevator, &d.actualThrottle, &d.receiver})
            ASSERT_FALSE(box->text.empty()) << "round " << round;
        const COtherDataTexts o = otherDataTexts(r.view());
        for (const std::string* s : {&o.firmwareVersion, &o.heading, &o.attitude, &o.staticAngle, &o.current,
                                     &o.consumedCapacity, &o.supplyVoltage})
            ASSERT_FALSE(s->empty()) << "round " << round;
        // The static angles are always within the circle, whatever the accelerations.
        const SStaticAngles still = staticAngles(static_cast<std::int16_t>(byte(rng) << 8 | byte(rng)),
                                                 static_cast<std::int16_t>(byte(rng) << 8 | byte(rng)),
                                                 static_cast<std::int16_t>(byte(rng) << 8 | byte(rng)));
        ASSERT_LE(std::abs(still.roll), 180);
        ASSERT_LE(std::abs(still.pitch), 90);
        const CFlightControlTexts c = flightControlTexts(r.view());
        ASSERT_GE(c.flightModeIndex, -1);
        ASSERT_LT(c.flightModeIndex, 12);
        ASSERT_TRUE(std::isfinite(c.attitudeFirst) && std::isfinite(c.attitudeSecond));
        ASSERT_FALSE(c.targetWaypoint.empty());
    }
}

TEST(PanelRules, NotANumberPositionAndHeadingStillGiveTexts)
{
    Record r;
    r.set(4, 0xFF).set(5, 0xFF).set(6, 0xFF).set(7, 0xFF);     // NaN latitude
    r.set(8, 0x00).set(9, 0x00).set(10, 0x80).set(11, 0x7F);   // +inf longitude
    r.set(20, 0xFF).set(21, 0xFF).set(22, 0x7F).set(23, 0x7F); // largest finite heading
    const CFlightDataTexts t = flightDataTexts(r.view());
    EXPECT_NE(t.latitude.text.find("nan"), std::string::npos);
    EXPECT_EQ(t.longitude.text, "inf");
    EXPECT_FALSE(otherDataTexts(r.view()).heading.empty());
}
