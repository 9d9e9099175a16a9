#pragma once
// What the three telemetry panels show for one 99-byte telemetry record: every value box as
// its exact text and alarm colour, computed without any window so that the rules are tested
// on their own. The widgets in app/panels only copy these texts into their boxes.
//
// Notation used below: b[n] is the byte at offset n; w(h,l) = b[h] * 256 + b[l] (the high byte
// is not always the next one); s(h,l) is w(h,l) as a signed 16-bit value; f32/i16/i32 are
// little-endian values at an offset.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orvex {

constexpr std::size_t kPanelRecordSize = 99;
using PanelRecordBytes = std::span<const std::uint8_t, kPanelRecordSize>;

// --- colours -------------------------------------------------------------------------------

struct SPanelRgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const SPanelRgb&, const SPanelRgb&) = default;
};

constexpr SPanelRgb kPanelBackgroundRgb{227, 228, 230};
constexpr SPanelRgb kAlarmRedRgb{255, 0, 0};
constexpr SPanelRgb kAlarmGreenRgb{0, 255, 0};
// Pixels that the text inside each value box of the two bottom pages is moved right and down.
constexpr int kValueTextInsetPx = 2;

// Plain: the panel look (background RGB(227,228,230)); Red/Green: black text on the alarm brush.
enum class EPanelColour { Plain, Red, Green };

struct CPanelBox {
    std::string text;
    EPanelColour colour = EPanelColour::Plain;
};

// --- record field readers (as the panels read them) -----------------------------------------

unsigned recordByte(PanelRecordBytes rec, std::size_t offset);
// w(h,l): b[h] * 256 + b[l].
unsigned recordPairUnsigned(PanelRecordBytes rec, std::size_t high, std::size_t low);
// s(h,l): w(h,l) as two's complement, 0x8000 -> -32768.
int recordPairSigned(PanelRecordBytes rec, std::size_t high, std::size_t low);
float recordF32(PanelRecordBytes rec, std::size_t offset);
int recordI16(PanelRecordBytes rec, std::size_t offset);
std::int32_t recordI32(PanelRecordBytes rec, std::size_t offset);

// --- shared text rules ----------------------------------------------------------------------

// Servo position against its neutral: "中位" inside the dead band (d <= deadBand), otherwise
// "右%d"/"左%d" (rudder, aileron) or "拉%d"/"推%d" (elevator) with d = |value - neutral|.
enum class EServoAxis { LeftRight, PushPull };
constexpr int kManualServoDeadBand = 1;
constexpr int kActualServoDeadBand = 0;
std::string servoText(int value, int neutral, EServoAxis axis, int deadBand);

// Throttle shown from a raw stick/servo byte: 200 - raw, with 8 shown as 7.
int throttleValue(unsigned raw);

// Attitude text; roll >= 0 is "左", pitch >= 0 is "仰". With the prefix: "姿态 左 %d,仰 %d".
// The magnitudes are printed in full even for the most negative 32-bit values.
std::string attitudeText(std::int64_t roll, std::int64_t pitch, bool withPrefix);

// Vibration code b[56]: its axis word and number ("上下", "左右", "前后").
struct SVibration {
    const char* axis;
    int amount;
};
SVibration vibrationOf(unsigned code);

// Static angles from the three accelerometer axes, truncated toward zero, always finite:
// roll = atan(-a / c) in degrees (+180 when c is negative, then into -180..180),
// pitch = -atan(-b / sqrt(a*a + c*c)) in degrees. Where a quotient is 0/0 the angle is 0.
struct SStaticAngles {
    int roll = 0;
    int pitch = 0;
};
SStaticAngles staticAngles(int accelA, int accelB, int accelC);

// --- colour thresholds ----------------------------------------------------------------------

constexpr unsigned kSatellitesGreenFrom = 6; // green when 6 or more
constexpr int kCoefficientRedAbove = 10;     // sway and vibration: red when above 10
constexpr int kThrottleGreenFrom = 41;       // manual throttle: green when 41 or more
constexpr int kActualRudderGreenBelow = 3;   // actual rudder: green when d < 3

// --- flight data page ("飞行数据") ------------------------------------------------------------

struct CFlightDataTexts {
    CPanelBox takeoffDistance; // 1023 "起飞距离"
    CPanelBox satellites;      // 1042 "星数"
    CPanelBox gpsVelocityX;    // 1057 "GPS Velx(cm)"
    CPanelBox gpsVelocityY;    // 1030 "GPS Vely(cm)"
    CPanelBox ekfVelocityX;    // 1050 "xekf Velx"
    CPanelBox ekfVelocityY;    // 1037 "xekf Vely"
    CPanelBox ekfVelocityD;    // 1053 "xekf Veld"
    CPanelBox latitude;        // 1040 "纬度"
    CPanelBox longitude;       // 1039 "经度"
    CPanelBox sway;            // 1021 "晃动系数"
    CPanelBox vibration;       // 1020 "震动系数"
    CPanelBox manualRudder;    // 1033 "方向舵" in "手工舵位"
    CPanelBox manualAileron;   // 1034 "副翼舵"
    CPanelBox manualElevator;  // 1035 "升降舵"
    CPanelBox manualThrottle;  // 1036 "油门"
    CPanelBox actualRudder;    // 1046 "方向舵" in "实际舵位"
    CPanelBox actualAileron;   // 1047 "副翼舵"
    CPanelBox actualElevator;  // 1048 "升降舵"
    CPanelBox actualThrottle;  // 1016 "油门"
    CPanelBox receiver;        // 1038 "RC"
};
CFlightDataTexts flightDataTexts(PanelRecordBytes rec);

// --- other data page ("其他数据") -------------------------------------------------------------

constexpr unsigned kSerialShownAbove = 10000;

struct COtherDataTexts {
    std::string firmwareVersion;             // 1025 "固件版本"
    std::optional<std::string> serialNumber; // 1024 "飞控序号": empty = box keeps its text
    std::string heading;                     // 1041 "航向角(度)"
    std::string attitude;                    // 1042 "姿态角(度)"
    std::string staticAngle;                 // 1054 "静态角(度)"
    std::string current;                     // 1056 "当前电流"
    std::string consumedCapacity;            // 1022 "电量消耗"
    std::string supplyVoltage;               // 1057 "飞控电压"
};
COtherDataTexts otherDataTexts(PanelRecordBytes rec);

// --- flight control panel (instrument bar) --------------------------------------------------

constexpr std::array<const char*, 12> kFlightModeNames = {"手动",       "自动悬停", "自动导航", "就地盘旋",
                                                          "所点即所到", "制式状态", "半自动",   "设置状态",
                                                          "陀螺清零",   "高度故障", "空速故障", "返航降落"};

struct CFlightControlTexts {
    double altimeterFirst = 0;  // altitude / 10, truncated
    double altimeterSecond = 0; // altitudeReference / 10, truncated
    std::string altitudeLabel;  // 1080 "高度 %d 米"
    double attitudeFirst = 0;   // pitch
    double attitudeSecond = 0;  // -roll
    std::string attitudeLabel;  // 1081 "姿态 左 %d,仰 %d" ...
    int flightModeIndex = -1;   // 1011: index into kFlightModeNames, -1 for an unknown mode
    std::string targetWaypoint; // 1048 "%d/%d"
    std::string altitude;       // 1051 "%d"
    std::string statusLine;     // 1200 "云台锁定半径：%d 米"
};
CFlightControlTexts flightControlTexts(PanelRecordBytes rec);

} // namespace orvex
