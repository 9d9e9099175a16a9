// The numbers of the two parameter dialogs and the custom mixing table. Expected bytes are written
// out from the field tables by hand.
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

// A "$PAR" readback whose every field has a value of its own, so a byte taken from the wrong place
// shows, and the form it fills.
SParamSetForm filledForm()
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
    return f;
}

} // namespace

TEST(Declination, TenthsBelowTenWholeDegreesAboveHeldAtTheByteEdges)
{
    const std::pair<double, int> codes[] = {
        {5.5, 55},   {-5.5, 201}, {15, 115},   {-15, 141},  {10, 100},   {-10, 156}, {0.05, 0},
        {-0.19, 255}, {10.5, 110}, {-10.9, 146}, {30, 126},  {-40, 128},  {1e300, 126}, {std::nan(""), 0},
    };
    for (auto [degrees, code] : codes)
        EXPECT_EQ(encodeDeclination(degrees), code) << degrees;
    const std::pair<int, const char*> texts[] = {
        {141, "-15.0"}, {55, "5.5"}, {0, "0.0"},    {100, "10.0"},  {101, "1.0"},
        {126, "26.0"},  {127, "-29.0"}, {156, "-10.0"}, {255, "-0.1"},
    };
    for (auto [code, text] : texts)
        EXPECT_EQ(declinationText(static_cast<uint8_t>(code)), text) << code;
}

TEST(MaxSpeed, CodesBothWaysAndTheCustomSpeedHeldToOneByte)
{
    const struct {
        int item;
        double custom;
        int code;
    } codes[] = {{0, 0, 90},   {1, 0, 120}, {2, 0, 150}, {3, 0, 200}, {4, 99.0, 255},
                 {kMaxSpeedCustomItem, 7.0, 175}, {kMaxSpeedCustomItem, 3.99, 99},
                 {kMaxSpeedCustomItem, 11.0, 255}, {kMaxSpeedCustomItem, -1.0, 0}, {kMaxSpeedCustomItem, std::nan(""), 0}};
    for (const auto& c : codes)
        EXPECT_EQ(maxSpeedCode(c.item, c.custom), c.code) << c.item << " " << c.custom;
    for (auto [code, item] : {std::pair{175, kMaxSpeedCustomItem}, {90, 0}, {255, 4}, {0, kMaxSpeedCustomItem}})
        EXPECT_EQ(maxSpeedItemForCode(static_cast<uint8_t>(code)), item) << code;
    EXPECT_THAT(paramComboItems(EParamCombo::MaxSpeed),
                ElementsAre("3.6 米/秒", "4.8 米/秒", "6.0 米/秒", "8.0 米/秒", "10.2 米/秒", "自定义"));
}

TEST(ParameterReadbackAndWrite, EveryControlIsFilledTheWriteGivesEveryByteBackWithItsSumsAndPackedFieldsOutOfRangeKeepTheSelection)
{
    SParamSetForm f = filledForm();
    EXPECT_EQ(f.edit(EParamEdit::GimbalRollGain), "-13");
    EXPECT_EQ(f.customSpeed, "7.0");
    // Each field read from its own frame byte and written to its own data byte: the write of the
    // filled form gives every byte back, in the order of the field table.
    const uplink::Frame frame = parameterWriteFrame(f);
    ASSERT_EQ(frame.size(), 30u);
    EXPECT_EQ(std::string(frame.begin(), frame.begin() + 7), "$WIFIss");
    EXPECT_THAT(std::vector<uint8_t>(frame.begin() + 7, frame.begin() + 27),
                ElementsAre(1, 2, 3, 4, 5, 6, 0x36, 0x22, 141, 10, 11, 12, 243, 128, 15, 175, 17, 18, 0x97, 20));
    // 1+2+3+4+5+6+54 = 75; 34+141+10+11+12+243+128 = 579 -> 67; 15+175+17+18+151+20 = 396 -> 140
    EXPECT_THAT(std::vector<uint8_t>(frame.begin() + 27, frame.end()), ElementsAre(75, 67, 140));

    // A second readback over the filled form. Radio byte: remote 2, voltage 3, ESC 2, servo rate 1
    // (each two-bit field has its high bit set here or in the filled form).
    applyParameterValues(parValues({{42, 0x35}, {32, 120}, {23, 200}, {43, 0x6E}}), f);
    EXPECT_EQ(f.combo(EParamCombo::Overload), 2) << "high nibble 3 leaves the selection";
    EXPECT_EQ(f.edit(EParamEdit::ControlType), "5");
    EXPECT_EQ(f.combo(EParamCombo::MaxSpeed), 1);
    EXPECT_FALSE(f.customSpeedShown());
    EXPECT_EQ(f.edit(EParamEdit::GimbalPitchGain), "-56");
    EXPECT_EQ(std::vector<int>({f.combo(EParamCombo::RemoteMode), f.combo(EParamCombo::VoltageAlarm),
                                f.combo(EParamCombo::EscType), f.combo(EParamCombo::ServoRate)}),
              std::vector<int>({2, 3, 2, 1}));
    applyParameterValues(parValues({{42, 0x05}}), f);
    EXPECT_EQ(f.combo(EParamCombo::Overload), 0);
}

TEST(ParameterChecks, AFieldBeyondItsByteOrNotANumberIsRefusedNamingTheRangeAndFilledMeansEveryShownEditHoldsText)
{
    using E = EParamEdit;
    const std::string yaw = "“旋转 P”须为 0 到 255 之间的整数", gimbal = "“云台横滚感度”须为 -127 到 128 之间的整数",
                      declination = "“磁偏角”须为 -28.0 到 26.0 之间的数";
    const struct {
        EParamEdit edit;
        const char* text;
        std::string refusal; // empty: accepted
    } cases[] = {
        {E::YawP, " 255 ", ""}, {E::YawP, "256", yaw}, {E::YawP, "0", ""}, {E::YawP, "-1", yaw}, {E::YawP, "12abc", yaw},
        {E::MaxVerticalSpeed, "", "“垂直最大速度”须为 0 到 255 之间的整数"},
        {E::CellCount, "15", ""}, {E::CellCount, "16", "“电池片数”须为 0 到 15 之间的整数"},
        {E::ControlType, "-1", "“控制类型”须为 0 到 15 之间的整数"},
        {E::GimbalRollGain, "-127", ""}, {E::GimbalRollGain, "128", ""}, {E::GimbalRollGain, "-128", gimbal},
        {E::GimbalPitchGain, "129", "“云台俯仰感度”须为 -127 到 128 之间的整数"},
        {E::Declination, "-28", ""}, {E::Declination, "-28.1", declination}, {E::Declination, "26.0", ""},
        {E::Declination, "26.1", declination}, {E::Declination, "5,5", declination},
    };
    for (const auto& c : cases) {
        SParamSetForm f = filledForm();
        f.edit(c.edit) = c.text;
        EXPECT_EQ(checkParamForm(f).value_or(""), c.refusal) << c.text;
    }
    SParamSetForm f = filledForm();
    EXPECT_TRUE(paramFormFilled(f));
    f.customSpeed = "10.2";
    EXPECT_EQ(checkParamForm(f), std::nullopt);
    f.customSpeed = "10.3"; // 257 units of 0.04 m/s
    EXPECT_EQ(checkParamForm(f).value_or(""), "“最大速度”须为 0.0 到 10.2 之间的数");
    f.customSpeed = " "; // shown and blank
    EXPECT_FALSE(paramFormFilled(f));
    f.combo(EParamCombo::MaxSpeed) = 0; // hidden: neither checked nor needed
    EXPECT_EQ(checkParamForm(f), std::nullopt);
    EXPECT_TRUE(paramFormFilled(f));
    EXPECT_FALSE(paramFormFilled(SParamSetForm{}));

    // Mixing cells carry a signed percent; filled means every cell holds text.
    MixingTexts t;
    t.fill("-127");
    t[mixingIndex(3, 7)] = "128";
    EXPECT_TRUE(mixingTextsFilled(t));
    EXPECT_EQ(checkMixingTexts(t), std::nullopt);
    t[mixingIndex(0, 4)] = "150";
    EXPECT_EQ(checkMixingTexts(t).value_or(""), "“M5 油门(%)”须为 -127 到 128 之间的整数");
    t[mixingIndex(0, 4)] = "x";
    EXPECT_TRUE(checkMixingTexts(t).has_value());
    t[31].clear();
    EXPECT_FALSE(mixingTextsFilled(t));
}

TEST(CustomMixing, ColumnsGoOutAsFourFramesWithTheirCodesAndComeBackSigned)
{
    MixingTexts t;
    for (int c = 0; c < kMixingColumns; ++c)
        for (int m = 0; m < kMixingMotors; ++m)
            t[mixingIndex(c, m)] = std::to_string(c * 10 + m);
    t[mixingIndex(0, 0)] = "-20";
    t[mixingIndex(1, 7)] = "128";
    t[mixingIndex(2, 5)] = "";
    const std::vector<uplink::Frame> frames = mixingWriteFrames(t);
    ASSERT_EQ(frames.size(), 4u);
    const std::vector<std::vector<uint8_t>> data = {
        {236, 1, 2, 3, 4, 5, 6, 7}, {10, 11, 12, 13, 14, 15, 16, 128}, {20, 21, 22, 23, 24, 0, 26, 27},
        {30, 31, 32, 33, 34, 35, 36, 37}};
    for (std::size_t c = 0; c < 4; ++c) {
        const uplink::Frame& f = frames[c];
        const uint8_t code = static_cast<uint8_t>(138 + c);
        EXPECT_THAT(std::vector<uint8_t>(f.begin(), f.begin() + 8), ElementsAre('$', 'W', 'I', 'F', 'I', code, code, code));
        EXPECT_THAT(std::vector<uint8_t>(f.begin() + 8, f.begin() + 16), ElementsAreArray(data[c])) << c;
        EXPECT_THAT(std::vector<uint8_t>(f.begin() + 16, f.begin() + 24), ElementsAreArray(data[c])) << c;
    }

    // The readback of the same bytes gives the texts back, the blank cell as 0.
    SCustomParameters p;
    for (std::size_t i = 0; i < p.raw.size(); ++i)
        p.raw[i] = data[i / 8][i % 8];
    t[mixingIndex(2, 5)] = "0";
    EXPECT_EQ(mixingTexts(p), t);
}
