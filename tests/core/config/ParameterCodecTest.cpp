// The numbers of the two parameter dialogs: typed-in values, the declination and maximum speed
// codes, the 20 bytes of the parameter write, the "$PAR" readback into the controls and the
// custom mixing table. Expected bytes are written out from the field tables by hand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/ParameterCodec.h"

using namespace orvex;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

SParameterValues parValues(std::initializer_list<std::pair<int, int>> frameBytes)
{
    SParameterValues v;
    for (auto [at, value] : frameBytes)
        v.values[static_cast<std::size_t>(at - 4)] = static_cast<uint8_t>(value);
    return v;
}

} // namespace

TEST(EditNumbers, IntegersAndDecimalsAsTheChecksLetThemThrough)
{
    // What reaches these has passed checkParamForm / checkMixingTexts (see ParameterChecks).
    EXPECT_EQ(editInteger("  -20"), -20);
    EXPECT_EQ(editInteger("+7"), 7);
    EXPECT_EQ(editInteger("abc"), 0);
    EXPECT_EQ(editInteger("2147483648"), 0) << "beyond int fails as a whole instead of wrapping";
    EXPECT_DOUBLE_EQ(editDecimal(" -15"), -15.0);
    EXPECT_DOUBLE_EQ(editDecimal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(editDecimal("nan"), 0.0);
}

TEST(EditNumbers, LowByteAndSignedReadback)
{
    EXPECT_EQ(lowByte(-20), 236);
    EXPECT_EQ(lowByte(300), 44);
    EXPECT_EQ(lowByte(-1), 255);
    EXPECT_EQ(signedAbove128(236), -20);
    EXPECT_EQ(signedAbove128(128), 128);
    EXPECT_EQ(signedAbove128(129), -127);
    EXPECT_EQ(signedAbove128(100), 100);
}

TEST(Declination, EncodesTenthsAndWholeDegrees)
{
    EXPECT_EQ(encodeDeclination(5.5), 55);
    EXPECT_EQ(encodeDeclination(-5.5), 201);
    EXPECT_EQ(encodeDeclination(15), 115);
    EXPECT_EQ(encodeDeclination(-15), 141);
    EXPECT_EQ(encodeDeclination(10), 100);
    EXPECT_EQ(encodeDeclination(-10), 156);
    EXPECT_EQ(encodeDeclination(0.05), 0) << "tenths truncated toward zero";
    EXPECT_EQ(encodeDeclination(-0.19), 255);
    EXPECT_EQ(encodeDeclination(10.5), 110) << "whole degrees truncated toward zero";
    EXPECT_EQ(encodeDeclination(-10.9), 146);
}

TEST(Declination, ReadbackShowsDegreesWithOneDecimal)
{
    EXPECT_EQ(declinationText(141), "-15.0");
    EXPECT_EQ(declinationText(55), "5.5");
    EXPECT_EQ(declinationText(0), "0.0");
    EXPECT_EQ(declinationText(100), "10.0");
    EXPECT_EQ(declinationText(101), "1.0") << "b > 100 shows b - 100";
    EXPECT_EQ(declinationText(126), "26.0");
    EXPECT_EQ(declinationText(127), "-29.0");
    EXPECT_EQ(declinationText(156), "-10.0");
    EXPECT_EQ(declinationText(255), "-0.1");
}

TEST(Declination, EveryTypedValueReadsBackWithItsSign)
{
    // Over the whole range the operator can type, the readback keeps the sign and stays within a
    // degree; beyond what the byte carries the value is held at the edge instead of flipping sign.
    for (int tenths = -400; tenths <= 400; ++tenths) {
        const double d = tenths / 10.0;
        const double back = decodeDeclination(encodeDeclination(d));
        if (d > 0.0999) {
            EXPECT_GT(back, 0.0) << d;
        }
        if (d < -0.0999) {
            EXPECT_LT(back, 0.0) << d;
        }
        const double held = std::clamp(d, kDeclinationMinDeg, kDeclinationMaxDeg + 0.99);
        EXPECT_LE(std::fabs(back - held), 1.0 + 1e-9) << d;
    }
    EXPECT_EQ(encodeDeclination(30), 126);
    EXPECT_EQ(encodeDeclination(-40), 128);
    EXPECT_EQ(encodeDeclination(1e300), 126);
    EXPECT_EQ(encodeDeclination(-1e300), 128);
    EXPECT_EQ(encodeDeclination(std::nan("")), 0);
}

TEST(MaxSpeed, CodesBothWays)
{
    EXPECT_EQ(maxSpeedCode(0, 0), 90);
    EXPECT_EQ(maxSpeedCode(1, 0), 120);
    EXPECT_EQ(maxSpeedCode(2, 0), 150);
    EXPECT_EQ(maxSpeedCode(3, 0), 200);
    EXPECT_EQ(maxSpeedCode(4, 99.0), 255) << "the custom edit only counts for 自定义";
    EXPECT_EQ(maxSpeedCode(kMaxSpeedCustomItem, 7.0), 175);
    EXPECT_EQ(maxSpeedCode(kMaxSpeedCustomItem, 3.99), 99) << "truncated toward zero";
    EXPECT_EQ(maxSpeedItemForCode(175), kMaxSpeedCustomItem);
    EXPECT_EQ(customSpeedText(175), "7.0");
    EXPECT_EQ(maxSpeedItemForCode(90), 0);
    EXPECT_EQ(maxSpeedItemForCode(255), 4);
    EXPECT_EQ(maxSpeedItemForCode(0), kMaxSpeedCustomItem);
}

TEST(MaxSpeed, CustomSpeedIsHeldToOneByte)
{
    // 11 m/s would be 275, whose low byte 19 means 0.76 m/s; -1 m/s would become 231 (9.24 m/s).
    EXPECT_EQ(maxSpeedCode(kMaxSpeedCustomItem, 11.0), 255);
    EXPECT_EQ(maxSpeedCode(kMaxSpeedCustomItem, -1.0), 0);
    EXPECT_EQ(maxSpeedCode(kMaxSpeedCustomItem, std::nan("")), 0);
}

TEST(ComboItems, ListsAreTheDialogItems)
{
    EXPECT_THAT(paramComboItems(EParamCombo::MaxSpeed),
                ElementsAre("3.6 米/秒", "4.8 米/秒", "6.0 米/秒", "8.0 米/秒", "10.2 米/秒", "自定义"));
    EXPECT_THAT(paramComboItems(EParamCombo::Overload), ElementsAre("平缓", "普通", "剧烈"));
    EXPECT_THAT(paramComboItems(EParamCombo::RemoteMode), ElementsAre("自适应", "普通", "SBUS", "JR卫星"));
    EXPECT_THAT(paramComboItems(EParamCombo::EscType),
                ElementsAre("普通电调(400HZ)", "XA电调(500HZ)", "IIC电调", "其他"));
    EXPECT_EQ(paramEditLabel(EParamEdit::Declination), "磁偏角");
    EXPECT_EQ(paramEditLabel(EParamEdit::MaxVerticalSpeed), "垂直最大速度");
    EXPECT_EQ(paramComboLabel(EParamCombo::VoltageAlarm), "电压初始报警值");
}

namespace {

// A form whose every control has a value of its own, so a byte taken from the wrong control shows.
SParamSetForm distinctForm()
{
    SParamSetForm f;
    f.edit(EParamEdit::RollI) = "1";
    f.edit(EParamEdit::SwayCompensation) = "2";
    f.edit(EParamEdit::RollGain) = "3";
    f.edit(EParamEdit::ThrottleP) = "4";
    f.edit(EParamEdit::YawP) = "5";
    f.edit(EParamEdit::YawI) = "6";
    f.edit(EParamEdit::CellCount) = "6";
    f.edit(EParamEdit::ControlType) = "2";
    f.edit(EParamEdit::Declination) = "-5.5";
    f.edit(EParamEdit::AircraftType) = "10";
    f.edit(EParamEdit::PitchI) = "11";
    f.edit(EParamEdit::PitchGain) = "12";
    f.edit(EParamEdit::GimbalRollGain) = "-13";
    f.edit(EParamEdit::GimbalPitchGain) = "14";
    f.edit(EParamEdit::VerticalStability) = "15";
    f.edit(EParamEdit::AttitudeGain) = "17";
    f.edit(EParamEdit::ThrottleI) = "18";
    f.edit(EParamEdit::MaxVerticalSpeed) = "20";
    f.combo(EParamCombo::MaxSpeed) = kMaxSpeedCustomItem;
    f.customSpeed = "7.0";
    f.combo(EParamCombo::StickEnable) = 1;
    f.combo(EParamCombo::StartProtection) = 1;
    f.combo(EParamCombo::Overload) = 2;
    f.combo(EParamCombo::RemoteMode) = 3;
    f.combo(EParamCombo::VoltageAlarm) = 1;
    f.combo(EParamCombo::ServoRate) = 2;
    f.combo(EParamCombo::EscType) = 1;
    return f;
}

} // namespace

TEST(ParameterWrite, TwentyBytesFollowTheFieldTable)
{
    const ParameterWriteBytes b = parameterWriteBytes(distinctForm());
    EXPECT_THAT(b, ElementsAre(1, 2, 3, 4, 5, 6,
                               6 + 16 + 32,          // cells, start protection bit 4, stick enable bit 5
                               2 + 2 * 16,           // control type, overload in bits 4-5
                               201,                  // -5.5 degrees
                               10, 11, 12, 243, 14, 15,
                               175,                  // 7.0 m/s
                               17, 18,
                               3 + 1 * 4 + 1 * 16 + 2 * 64, // remote, voltage, ESC, servo rate
                               20));
}

TEST(ParameterWrite, FrameCarriesTheBytesAndTheirSums)
{
    const uplink::Frame f = parameterWriteFrame(distinctForm());
    ASSERT_EQ(f.size(), 30u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 7), "$WIFIss");
    // 1+2+3+4+5+6+54 = 75; 34+201+10+11+12+243+14 = 525 -> 13; 15+175+17+18+151+20 = 396 -> 140
    EXPECT_EQ(f[27], 75);
    EXPECT_EQ(f[28], 13);
    EXPECT_EQ(f[29], 140);
    EXPECT_EQ(f[7 + 8], 201);
    EXPECT_EQ(f[7 + 19], 20);
}

TEST(ParameterChecks, AFieldBeyondItsByteOrNotANumberIsRefusedNamingTheRange)
{
    const std::string u8Yaw = "“旋转 P”须为 0 到 255 之间的整数";
    const std::string gimbal = "“云台横滚感度”须为 -127 到 128 之间的整数";
    const std::string declination = "“磁偏角”须为 -28.0 到 26.0 之间的数";
    const struct {
        EParamEdit edit;
        const char* text;
        std::string refusal; // empty: accepted
    } cases[] = {
        {EParamEdit::YawP, " 255 ", ""},
        {EParamEdit::YawP, "300", u8Yaw},
        {EParamEdit::YawP, "-1", u8Yaw},
        {EParamEdit::YawP, "12abc", u8Yaw},
        {EParamEdit::RollGain, "abc", "“横滚感度”须为 0 到 255 之间的整数"},
        {EParamEdit::MaxVerticalSpeed, "", "“垂直最大速度”须为 0 到 255 之间的整数"},
        {EParamEdit::CellCount, "15", ""},
        {EParamEdit::CellCount, "16", "“电池片数”须为 0 到 15 之间的整数"},
        {EParamEdit::ControlType, "-1", "“控制类型”须为 0 到 15 之间的整数"},
        {EParamEdit::GimbalRollGain, "-127", ""},
        {EParamEdit::GimbalRollGain, "128", ""},
        {EParamEdit::GimbalRollGain, "-128", gimbal},
        {EParamEdit::GimbalPitchGain, "129", "“云台俯仰感度”须为 -127 到 128 之间的整数"},
        {EParamEdit::Declination, "-28", ""},
        {EParamEdit::Declination, "26.0", ""},
        {EParamEdit::Declination, "26.5", declination},
        {EParamEdit::Declination, "5,5", declination},
    };
    for (const auto& c : cases) {
        SParamSetForm f = distinctForm();
        f.edit(c.edit) = c.text;
        EXPECT_EQ(checkParamForm(f).value_or(""), c.refusal) << c.text;
    }
    SParamSetForm f = distinctForm();
    f.customSpeed = "10.3"; // 257 units of 0.04 m/s
    EXPECT_EQ(checkParamForm(f).value_or(""), "“最大速度”须为 0.0 到 10.2 之间的数");
    f.combo(EParamCombo::MaxSpeed) = 0; // hidden: not checked
    EXPECT_EQ(checkParamForm(f), std::nullopt);
}

TEST(ParameterChecks, MixingCellsCarryASignedPercent)
{
    MixingTexts t;
    t.fill("-127");
    t[mixingIndex(3, 7)] = "128";
    EXPECT_EQ(checkMixingTexts(t), std::nullopt);
    t[mixingIndex(0, 4)] = "150";
    EXPECT_EQ(checkMixingTexts(t).value_or(""), "“M5 油门(%)”须为 -127 到 128 之间的整数");
    t[mixingIndex(0, 4)] = "x";
    EXPECT_TRUE(checkMixingTexts(t).has_value());
}

TEST(ParameterChecks, FilledMeansEveryEditHoldsText)
{
    EXPECT_FALSE(paramFormFilled(SParamSetForm{}));
    SParamSetForm f = distinctForm();
    EXPECT_TRUE(paramFormFilled(f));
    f.customSpeed = " "; // shown and blank
    EXPECT_FALSE(paramFormFilled(f));
    MixingTexts t;
    t.fill("0");
    EXPECT_TRUE(mixingTextsFilled(t));
    t[31].clear();
    EXPECT_FALSE(mixingTextsFilled(t));
}

TEST(ParameterReadback, EveryControlIsFilled)
{
    const SParameterValues v = parValues({
        {4, 5}, {6, 6}, {7, 1}, {9, 20}, {12, 4}, {22, 15}, {24, 12}, {25, 17}, {26, 11}, {28, 18}, {33, 2},
        {34, 10}, {38, 3},
        {17, 243}, {23, 128},   // signed: -13; 128 stays 128
        {5, 0x36},              // cells 6, start protection 1, stick enable 1
        {42, 0x22},             // control type 2, overload 2
        {43, 0x97},             // remote 3, voltage 1, ESC 1, servo rate 2
        {32, 175},              // custom 7.0
        {27, 141},              // -15.0
    });
    SParamSetForm f;
    applyParameterValues(v, f);
    EXPECT_EQ(f.edit(EParamEdit::YawP), "5");
    EXPECT_EQ(f.edit(EParamEdit::YawI), "6");
    EXPECT_EQ(f.edit(EParamEdit::RollI), "1");
    EXPECT_EQ(f.edit(EParamEdit::MaxVerticalSpeed), "20");
    EXPECT_EQ(f.edit(EParamEdit::ThrottleP), "4");
    EXPECT_EQ(f.edit(EParamEdit::VerticalStability), "15");
    EXPECT_EQ(f.edit(EParamEdit::PitchGain), "12");
    EXPECT_EQ(f.edit(EParamEdit::AttitudeGain), "17");
    EXPECT_EQ(f.edit(EParamEdit::PitchI), "11");
    EXPECT_EQ(f.edit(EParamEdit::ThrottleI), "18");
    EXPECT_EQ(f.edit(EParamEdit::SwayCompensation), "2");
    EXPECT_EQ(f.edit(EParamEdit::AircraftType), "10");
    EXPECT_EQ(f.edit(EParamEdit::RollGain), "3");
    EXPECT_EQ(f.edit(EParamEdit::GimbalRollGain), "-13");
    EXPECT_EQ(f.edit(EParamEdit::GimbalPitchGain), "128");
    EXPECT_EQ(f.edit(EParamEdit::CellCount), "6");
    EXPECT_EQ(f.edit(EParamEdit::ControlType), "2");
    EXPECT_EQ(f.edit(EParamEdit::Declination), "-15.0");
    EXPECT_EQ(f.combo(EParamCombo::StartProtection), 1);
    EXPECT_EQ(f.combo(EParamCombo::StickEnable), 1);
    EXPECT_EQ(f.combo(EParamCombo::Overload), 2);
    EXPECT_EQ(f.combo(EParamCombo::RemoteMode), 3);
    EXPECT_EQ(f.combo(EParamCombo::VoltageAlarm), 1);
    EXPECT_EQ(f.combo(EParamCombo::EscType), 1);
    EXPECT_EQ(f.combo(EParamCombo::ServoRate), 2);
    EXPECT_EQ(f.combo(EParamCombo::MaxSpeed), kMaxSpeedCustomItem);
    EXPECT_TRUE(f.customSpeedShown());
    EXPECT_EQ(f.customSpeed, "7.0");

    // Reading the filled form back gives the same parameter bytes (the round trip of the dialog).
    const ParameterWriteBytes b = parameterWriteBytes(f);
    EXPECT_THAT(b, ElementsAre(1, 2, 3, 4, 5, 6, 0x36, 0x22, 141, 10, 11, 12, 243, 128, 15, 175, 17, 18, 0x97, 20));
}

TEST(ParameterReadback, OverloadAboveItsItemsKeepsTheSelectionAndFixedSpeedHidesCustom)
{
    SParamSetForm f;
    f.combo(EParamCombo::Overload) = 1;
    f.combo(EParamCombo::MaxSpeed) = kMaxSpeedCustomItem;
    f.customSpeed = "9.9";
    applyParameterValues(parValues({{42, 0x35}, {32, 120}, {27, 55}}), f);
    EXPECT_EQ(f.combo(EParamCombo::Overload), 1) << "high nibble 3 leaves the selection";
    EXPECT_EQ(f.edit(EParamEdit::ControlType), "5");
    EXPECT_EQ(f.combo(EParamCombo::MaxSpeed), 1);
    EXPECT_FALSE(f.customSpeedShown());
    EXPECT_EQ(f.edit(EParamEdit::Declination), "5.5");
    applyParameterValues(parValues({{42, 0x05}}), f);
    EXPECT_EQ(f.combo(EParamCombo::Overload), 0);
}

TEST(CustomMixing, ColumnsGoOutAsFourFramesWithTheirCodes)
{
    MixingTexts t;
    for (int c = 0; c < kMixingColumns; ++c)
        for (int m = 0; m < kMixingMotors; ++m)
            t[mixingIndex(c, m)] = std::to_string(c * 10 + m);
    t[mixingIndex(0, 0)] = "-20";
    t[mixingIndex(1, 7)] = "128";
    t[mixingIndex(3, 3)] = "100";
    t[mixingIndex(2, 5)] = "";
    const std::vector<uplink::Frame> frames = mixingWriteFrames(t);
    ASSERT_EQ(frames.size(), 4u);
    const uint8_t codes[] = {138, 139, 140, 141};
    const std::vector<std::vector<uint8_t>> data = {
        {236, 1, 2, 3, 4, 5, 6, 7},
        {10, 11, 12, 13, 14, 15, 16, 128},
        {20, 21, 22, 23, 24, 0, 26, 27},
        {30, 31, 32, 100, 34, 35, 36, 37},
    };
    for (int c = 0; c < 4; ++c) {
        const uplink::Frame& f = frames[static_cast<std::size_t>(c)];
        ASSERT_EQ(f.size(), 30u);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 5), "$WIFI");
        EXPECT_THAT(std::vector<uint8_t>(f.begin() + 5, f.begin() + 8), ElementsAre(codes[c], codes[c], codes[c]));
        EXPECT_THAT(std::vector<uint8_t>(f.begin() + 8, f.begin() + 16), ElementsAreArray(data[c])) << c;
        EXPECT_THAT(std::vector<uint8_t>(f.begin() + 16, f.begin() + 24), ElementsAreArray(data[c])) << c;
    }
    EXPECT_EQ(mixingColumnLabel(0), "油门(%)");
    EXPECT_EQ(mixingColumnLabel(3), "横滚(%)");
}

TEST(CustomMixing, ReadbackShowsSignedValues)
{
    SCustomParameters p;
    p.raw[0] = 236;
    p.raw[9] = 128;
    p.raw[31] = 100;
    p.raw[20] = 255;
    const MixingTexts t = mixingTexts(p);
    EXPECT_EQ(t[mixingIndex(0, 0)], "-20");
    EXPECT_EQ(t[mixingIndex(1, 1)], "128");
    EXPECT_EQ(t[mixingIndex(3, 7)], "100");
    EXPECT_EQ(t[mixingIndex(2, 4)], "-1");
    EXPECT_EQ(t[mixingIndex(0, 1)], "0");
}
