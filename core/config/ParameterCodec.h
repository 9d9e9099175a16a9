#pragma once
// The numbers behind the two parameter dialogs, without any window: what the "参数设置" dialog
// puts into the 20 data bytes of its parameter write, how a "$PAR" readback fills its controls,
// and the custom mixing table of the "自定义参数" dialog in both directions.
//
// The dialogs hand their controls over as texts and item indexes (SParamSetForm, an array of 32
// texts) and take them back the same way, so every rule can be checked here byte by byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "protocol/Uplink.h"

namespace orvex {

// ------------------------------------------------------------------ typed-in numbers

// An edit box read as a signed decimal integer: leading blanks, an optional sign and the digits up
// to the first other character. No digits gives 0, and so does a number beyond the int range
// (the conversion fails as a whole rather than wrapping).
int editInteger(std::string_view text);
// An edit box read as a decimal number with a fraction ("5.5", "-15", " 7"); no number gives 0.
// Only finite results are returned (anything else gives 0).
double editDecimal(std::string_view text);
// The low 8 bits of a signed integer, as the byte a one-byte field carries.
uint8_t lowByte(int value);
// A byte shown as a signed value: above 128 minus 256; 128 itself stays 128.
int signedAbove128(uint8_t byte);

// ------------------------------------------------------------------ "磁偏角"

// Degrees the declination byte can carry and read back with the same sign: tenths cover
// -10.0..10.0 (bytes 156..255 and 0..100), whole degrees 11..26 travel as degree + 100 (bytes
// 101..126) and -11..-28 as degree - 100 (-111..-128, bytes 145..128).
inline constexpr double kDeclinationMaxDeg = 26.0;
inline constexpr double kDeclinationMinDeg = -28.0;

// The byte for a declination in degrees: |d| <= 10 -> tenths (toward zero); d > 10 -> d + 100,
// d < -10 -> d - 100 (toward zero), two's complement. Degrees beyond what the byte can carry are
// held at kDeclinationMaxDeg / kDeclinationMinDeg, so the aircraft never receives the opposite
// sign; a value that is not a number gives 0.
uint8_t encodeDeclination(double degrees);
// The degrees a declination byte stands for (the dialog shows them with "%.1lf").
double decodeDeclination(uint8_t byte);
std::string declinationText(uint8_t byte);

// ------------------------------------------------------------------ "最大速度"

inline constexpr int kMaxSpeedItemCount = 6;
inline constexpr int kMaxSpeedCustomItem = 5; // "自定义"
// Codes of items 0..4, in units of 0.04 m/s.
inline constexpr std::array<uint8_t, 5> kMaxSpeedCodes = {90, 120, 150, 200, 255};
inline constexpr double kMaxSpeedUnitMps = 0.04;

// The code for a combo item, or for "自定义" with the custom edit's m/s value: x 25 toward zero.
// A custom speed is held to what one byte carries (0..255, i.e. 0..10.2 m/s): a value beyond would
// otherwise arrive at the aircraft as some unrelated, possibly higher, speed.
uint8_t maxSpeedCode(int item, double customMps);
// The combo item for a readback code: 0..4 for the five fixed codes, kMaxSpeedCustomItem otherwise.
int maxSpeedItemForCode(uint8_t code);
// The custom edit's text for a code: code x 0.04 with "%.1f".
std::string customSpeedText(uint8_t code);

// ------------------------------------------------------------------ "参数设置" controls

// The eighteen edit boxes, in the order of the dialog.
enum class EParamEdit {
    RollGain,          // "横滚感度"
    PitchGain,         // "俯仰感度"
    RollI,             // "横滚 I"
    PitchI,            // "俯仰 I"
    ThrottleP,         // "油门 P"
    ThrottleI,         // "油门 I"
    YawP,              // "旋转 P"
    YawI,              // "旋转 I"
    Declination,       // "磁偏角"
    CellCount,         // "电池片数"
    ControlType,       // "控制类型"
    VerticalStability, // "垂直增稳"
    GimbalRollGain,    // "云台横滚感度"
    AircraftType,      // "飞机种类"
    AttitudeGain,      // "姿态感度"
    GimbalPitchGain,   // "云台俯仰感度"
    SwayCompensation,  // "晃动补偿"
    MaxVerticalSpeed,  // "垂直最大速度"
};
inline constexpr std::size_t kParamEditCount = 18;

// The eight combo boxes, in the order of the dialog.
enum class EParamCombo {
    MaxSpeed,          // "最大速度"
    StickEnable,       // "掰杆有效"
    StartProtection,   // "启动保护"
    Overload,          // "过载控制"
    RemoteMode,        // "遥控方式"
    VoltageAlarm,      // "电压初始报警值"
    ServoRate,         // "舵机输出频率"
    EscType,           // "电调类型"
};
inline constexpr std::size_t kParamComboCount = 8;

std::string_view paramEditLabel(EParamEdit edit);
std::string_view paramComboLabel(EParamCombo combo);
// The items of a combo, in order.
const std::vector<std::string_view>& paramComboItems(EParamCombo combo);

// What the dialog's controls hold: every edit's text, every combo's selected item and the text of
// the custom-speed edit (shown only while "最大速度" is on "自定义").
struct SParamSetForm {
    std::array<std::string, kParamEditCount> edits{};
    std::array<int, kParamComboCount> combos{}; // item indexes; 0 when the dialog opens
    std::string customSpeed;

    std::string& edit(EParamEdit e) { return edits[static_cast<std::size_t>(e)]; }
    const std::string& edit(EParamEdit e) const { return edits[static_cast<std::size_t>(e)]; }
    int& combo(EParamCombo c) { return combos[static_cast<std::size_t>(c)]; }
    int combo(EParamCombo c) const { return combos[static_cast<std::size_t>(c)]; }
    bool customSpeedShown() const { return combo(EParamCombo::MaxSpeed) == kMaxSpeedCustomItem; }
};

inline constexpr std::size_t kParameterWriteBytes = 20;
using ParameterWriteBytes = std::array<uint8_t, kParameterWriteBytes>;

// The 20 data bytes of the parameter write: edits as signed decimal integers cut to their low 8
// bits, the packed bytes 6, 7 and 18 built by adding the shifted fields (a field too wide for its
// bits spills into its neighbour, as the flight controller's own tools do), "磁偏角" and
// "最大速度" encoded as above.
ParameterWriteBytes parameterWriteBytes(const SParamSetForm& form);
// The whole "$WIFIss" frame for the form.
uplink::Frame parameterWriteFrame(const SParamSetForm& form);

// Fills the form from a "$PAR" readback: every edit, every combo (but "过载控制" keeps its item
// when the readback's high 4 bits of byte 42 are 3 or more), the custom-speed edit for a speed
// code outside the five fixed ones (it is left as it was otherwise, and hidden).
void applyParameterValues(const SParameterValues& values, SParamSetForm& form);

// ------------------------------------------------------------------ checks before "发送"

// What one field may hold: an integer (or, for "磁偏角" and the custom speed, a decimal number)
// within min..max, i.e. what its byte or bit field carries and reads back unchanged. Nothing is
// sent while any field is out of its range or is not a number.
struct SFieldRange {
    double min = 0;
    double max = 0;
    bool decimal = false;
};
SFieldRange paramEditRange(EParamEdit edit);
inline constexpr SFieldRange kCustomSpeedRange{0.0, 10.2, true}; // 255 x 0.04 m/s
inline constexpr SFieldRange kMixingRange{-127, 128, false};      // the signed readback
// The refusal for a field: "“旋转 P”须为 0 到 255 之间的整数" (decimal fields: "之间的数").
std::string rangeMessage(std::string_view label, const SFieldRange& range);
// Whether a text is a number (blanks around it allowed) within the range.
bool textInRange(std::string_view text, const SFieldRange& range);
// The refusal for the first field that fails, in the dialog's order; nothing when all pass. The
// custom speed is checked only while it is shown.
std::optional<std::string> checkParamForm(const SParamSetForm& form);
// Every edit (and the custom speed while shown) holds some text: the operator filled the form.
bool paramFormFilled(const SParamSetForm& form);
// The question before a parameter or mixing write (No is the default button).
inline constexpr std::string_view kWriteParametersQuestion = "确定将参数写入飞控？";

// ------------------------------------------------------------------ "自定义参数"

inline constexpr int kMixingMotors = 8;  // rows "M1".."M8"
inline constexpr int kMixingColumns = 4; // "油门(%)", "磁偏角(%)", "俯仰(%)", "横滚(%)"
inline constexpr std::size_t kMixingValues = 32;
std::string_view mixingColumnLabel(int column);
// The texts of the 32 edit boxes, column by column: index = column x 8 + motor.
using MixingTexts = std::array<std::string, kMixingValues>;
inline std::size_t mixingIndex(int column, int motor) { return static_cast<std::size_t>(column * kMixingMotors + motor); }

// The eight data bytes of one column (signed integers cut to 8 bits).
std::array<uint8_t, 8> mixingColumnBytes(const MixingTexts& texts, int column);
// The four "发送" frames: codes 138..141, one column each, in column order.
std::vector<uplink::Frame> mixingWriteFrames(const MixingTexts& texts);
// The texts a "$PUR" readback puts into the 32 boxes ("%d", signed, 128 stays 128).
MixingTexts mixingTexts(const SCustomParameters& parameters);
// "M5 油门(%)": the name of one box in messages.
std::string mixingCellLabel(int column, int motor);
// As checkParamForm / paramFormFilled, for the 32 boxes (column by column).
std::optional<std::string> checkMixingTexts(const MixingTexts& texts);
bool mixingTextsFilled(const MixingTexts& texts);

} // namespace orvex
