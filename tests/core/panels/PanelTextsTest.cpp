// Texts and colours of the telemetry panels, from "$STP" records written byte by byte at the
// positions of the sentence layout: one table row per rule.
#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "panels/PanelTexts.h"

using namespace orvex;

namespace {

using Bytes = std::vector<std::pair<std::size_t, std::uint8_t>>;

StpBytes record(const Bytes& bytes)
{
    StpBytes r = stpRecord(0, 0);
    for (const auto& [at, v] : bytes)
        r[at] = v;
    return r;
}

constexpr auto Red = EPanelColour::Red, Green = EPanelColour::Green, Plain = EPanelColour::Plain;

struct SBoxRow {
    const char* what;
    Bytes bytes;
    CPanelBox CFlightDataTexts::*box;
    const char* text;
    EPanelColour colour;
};

} // namespace

TEST(FlightDataPage, EveryBoxRule)
{
    using T = CFlightDataTexts;
    const std::vector<SBoxRow> rows = {
        {"take-off distance: high byte at 46, low at 52, 47 not read", {{46, 1}, {47, 0x77}, {52, 0x2C}},
         &T::takeoffDistance, "300 米", Plain},
        {"gps x: high 51, two's complement", {{51, 0x80}, {50, 0}}, &T::gpsVelocityX, "-32768 ", Plain},
        {"gps y: high 95", {{95, 0x80}, {94, 1}}, &T::gpsVelocityY, "-32767 ", Plain},
        {"latitude: f32 at 4, seven decimals", {{6, 0xF4}, {7, 0x41}}, &T::latitude, "30.5000000", Plain},
        {"longitude: f32 at 8", {{9, 0x80}, {10, 0xF0}, {11, 0xC2}}, &T::longitude, "-120.2500000", Plain},
        {"filter x: high 40", {{40, 0xFF}, {41, 0xFF}}, &T::ekfVelocityX, "-1 ", Plain},
        {"filter lateral: high 83 low 93, 84 not read", {{83, 1}, {84, 0xEE}, {93, 2}}, &T::ekfVelocityY, "258 ", Plain},
        {"filter vertical: high 79 low 89", {{79, 0x7F}, {89, 0xFF}}, &T::ekfVelocityD, "32767 ", Plain},
        {"vibration 200", {{56, 200}}, &T::vibration, "上下0", Green},
        {"vibration 199: left-right", {{56, 199}}, &T::vibration, "左右99", Red},
        {"vibration 100", {{56, 100}}, &T::vibration, "左右0", Green},
        {"vibration 99: fore-aft", {{56, 99}}, &T::vibration, "前后99", Red},
        {"vibration 11", {{56, 11}}, &T::vibration, "前后11", Red},
        {"vibration 10: not above 10", {{56, 10}}, &T::vibration, "前后10", Green},
        {"sway 10", {{54, 10}}, &T::sway, "10", Green},
        {"sway 11", {{54, 11}}, &T::sway, "11", Red},
        {"satellites 5", {{24, 5}}, &T::satellites, "5 ", Red},
        {"satellites 6", {{24, 6}}, &T::satellites, "6 ", Green},
        {"receiver 0", {{53, 0}}, &T::receiver, "关", Red},
        {"receiver 1", {{53, 1}}, &T::receiver, "开", Green},
        {"receiver 2: not on, not 0", {{53, 2}}, &T::receiver, "关", Green},
        {"manual rudder 101 against 100: dead band 1", {{80, 100}, {32, 101}}, &T::manualRudder, "中位", Plain},
        {"manual rudder 102", {{80, 100}, {32, 102}}, &T::manualRudder, "右2", Plain},
        {"manual rudder 99", {{80, 100}, {32, 99}}, &T::manualRudder, "中位", Plain},
        {"actual rudder 101: no dead band", {{80, 100}, {36, 101}}, &T::actualRudder, "右1", Green},
        {"actual rudder 100", {{80, 100}, {36, 100}}, &T::actualRudder, "中位", Green},
        {"actual rudder 2 off", {{80, 100}, {36, 98}}, &T::actualRudder, "左2", Green},
        {"actual rudder 3 off", {{80, 100}, {36, 97}}, &T::actualRudder, "左3", Red},
        {"manual aileron against 81", {{81, 50}, {33, 40}}, &T::manualAileron, "左10", Plain},
        {"actual aileron against 81", {{81, 50}, {37, 60}}, &T::actualAileron, "右10", Plain},
        {"manual elevator against 82", {{82, 128}, {34, 140}}, &T::manualElevator, "拉12", Plain},
        {"actual elevator against 82", {{82, 128}, {38, 120}}, &T::actualElevator, "推8", Plain},
        {"throttle 192: 8 shows as 7", {{35, 192}}, &T::manualThrottle, "7", Red},
        {"actual throttle 192", {{39, 192}}, &T::actualThrottle, "7", Plain},
        {"throttle 191: 9", {{35, 191}}, &T::manualThrottle, "9", Red},
        {"throttle 159: 41, first green", {{35, 159}}, &T::manualThrottle, "41", Green},
        {"throttle 160: 40", {{35, 160}}, &T::manualThrottle, "40", Red},
        {"throttle 255: negative above 200", {{35, 255}}, &T::manualThrottle, "-55", Red},
    };
    for (const SBoxRow& row : rows) {
        const CPanelBox box = flightDataTexts(record(row.bytes)).*row.box;
        EXPECT_EQ(box.text, row.text) << row.what;
        EXPECT_EQ(box.colour, row.colour) << row.what;
    }
}

TEST(OtherDataPage, SerialNumberOnlyAboveTenThousand)
{
    for (const auto& [serial, shown] : std::vector<std::pair<int, const char*>>{
             {10000, nullptr}, {10001, "10001"}, {65535, "65535"}}) {
        StpBytes r = record({});
        putLeU16(&r[42], serial);
        const auto text = otherDataTexts(r).serialNumber;
        EXPECT_EQ(text.has_value(), shown != nullptr) << serial;
        if (shown && text)
            EXPECT_EQ(*text, shown);
    }
}

TEST(OtherDataPage, FormatsOfEveryBox)
{
    StpBytes r = record({{97, 0x01}, {96, 0x02}, {92, 23}, {77, 0x12}, {76, 0x34}, {71, 0x04}, {70, 0x00}});
    putLeF32(&r[20], 1.5707963f);             // 90 degrees
    putLeU32(&r[66], std::uint32_t(-12));     // roll right 12
    putLeU32(&r[62], 7);                      // nose up 7
    const COtherDataTexts t = otherDataTexts(r);
    EXPECT_EQ(t.firmwareVersion, "100258");   // 258 + 100000
    EXPECT_EQ(t.heading, "90.0");
    EXPECT_EQ(t.attitude, "右 12,仰 7");
    EXPECT_EQ(t.current, "23 A");
    EXPECT_EQ(t.consumedCapacity, "4660 mAH"); // 0x1234
    EXPECT_EQ(t.supplyVoltage, "5.00 V");     // 1024 x 5/1024
    EXPECT_EQ(t.staticAngle, "左 0,仰 0");      // all accelerations zero: level, not NaN
    EXPECT_EQ(attitudeText(INT32_MIN, INT32_MIN, false), "右 2147483648,俯 2147483648");

    // Accelerations a at 58, b at 60, c at 72: roll atan(1) = 45; pitch -atan(-60 / 141.42) = 22.99.
    putLeU16(&r[58], -100);
    putLeU16(&r[60], 60);
    putLeU16(&r[72], 100);
    EXPECT_EQ(otherDataTexts(r).staticAngle, "左 45,仰 22");
}

TEST(OtherDataPage, StaticAnglesTruncateTowardZero)
{
    struct SRow {
        int a, b, c, roll, pitch;
    };
    // c negative adds 180 and wraps: atan(1) + 180 = 225.0000008 (the degree factor is slightly
    // above 180/pi) -> -134.9999992 -> -134. atan(0.6) = 30.96 -> 30, and -30, not -31.
    for (const SRow& r : {SRow{-100, 0, 100, 45, 0}, SRow{100, 0, -100, -134, 0}, SRow{-100, 0, -100, 134, 0},
                          SRow{-60, 0, 100, 30, 0}, SRow{60, 0, 100, -30, 0}, SRow{0, 60, 100, 0, 30},
                          SRow{0, -60, 100, 0, -30}, SRow{-5, 0, 0, 90, 0}, SRow{5, 0, 0, -90, 0},
                          SRow{0, 0, 0, 0, 0}, SRow{0, 7, 0, 0, 90}, SRow{0, 0, -1, 180, 0}}) {
        const SStaticAngles s = staticAngles(r.a, r.b, r.c);
        EXPECT_EQ(std::make_pair(s.roll, s.pitch), std::make_pair(r.roll, r.pitch)) << r.a << "," << r.b << "," << r.c;
    }
}

TEST(FlightControlPanel, TextsAndInstrumentValues)
{
    StpBytes r = record({{85, 0x03}, {84, 0xE8}, {75, 2}, {74, 4}, {31, 7}, {47, 35}});
    putLeU16(&r[48], -1239); // -123.9 m
    putLeU32(&r[62], std::uint32_t(-4));
    putLeU32(&r[66], 9);
    const CFlightControlTexts t = flightControlTexts(r);
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

    // A mode outside the list selects nothing; the waypoint count is signed.
    EXPECT_EQ(flightControlTexts(record({{75, 11}})).flightModeIndex, 11);
    EXPECT_EQ(flightControlTexts(record({{75, 12}})).flightModeIndex, -1);
    EXPECT_EQ(flightControlTexts(record({{74, 255}, {31, 0xFF}})).targetWaypoint, "256/-1");
    putLeU32(&r[66], 0x80000000);
    EXPECT_EQ(flightControlTexts(r).attitudeSecond, 2147483648.0);
}
