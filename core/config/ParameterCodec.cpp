#include "config/ParameterCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimLeft(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

// Fixed-point text with the given decimals, independent of the process locale (the dialogs always
// show a '.' whatever the operator's locale says).
std::string fixedText(double value, int decimals)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return "0";
    return std::string(buf, res.ptr);
}

std::string intText(int value)
{
    return std::to_string(value);
}

// A frame byte (counted from the '$') of a "$PAR" readback.
uint8_t parByte(const SParameterValues& values, std::size_t frameByte)
{
    return values.values[frameByte - 4];
}

constexpr std::array<std::string_view, kParamEditCount> kEditLabels = {
    "横滚感度", "俯仰感度", "横滚 I", "俯仰 I", "油门 P", "油门 I", "旋转 P", "旋转 I", "磁偏角",
    "电池片数", "控制类型", "垂直增稳", "云台横滚感度", "飞机种类", "姿态感度", "云台俯仰感度",
    "晃动补偿", "垂直最大速度",
};

constexpr std::array<std::string_view, kParamComboCount> kComboLabels = {
    "最大速度", "掰杆有效", "启动保护", "过载控制", "遥控方式", "电压初始报警值", "舵机输出频率", "电调类型",
};

// The edits that travel as one plain byte: data byte k of the parameter write and the "$PAR" byte
// that carries it back.
struct SPlainEdit {
    EParamEdit edit;
    std::size_t writeIndex;
    std::size_t parByte;
    bool signedReadback; // shown minus 256 above 128
};
constexpr SPlainEdit kPlainEdits[] = {
    {EParamEdit::RollI, 0, 7, false},
    {EParamEdit::SwayCompensation, 1, 33, false},
    {EParamEdit::RollGain, 2, 38, false},
    {EParamEdit::ThrottleP, 3, 12, false},
    {EParamEdit::YawP, 4, 4, false},
    {EParamEdit::YawI, 5, 6, false},
    {EParamEdit::AircraftType, 9, 34, false},
    {EParamEdit::PitchI, 10, 26, false},
    {EParamEdit::PitchGain, 11, 24, false},
    {EParamEdit::GimbalRollGain, 12, 17, true},
    {EParamEdit::GimbalPitchGain, 13, 23, true},
    {EParamEdit::VerticalStability, 14, 22, false},
    {EParamEdit::AttitudeGain, 16, 25, false},
    {EParamEdit::ThrottleI, 17, 28, false},
    {EParamEdit::MaxVerticalSpeed, 19, 9, false},
};

constexpr std::size_t kWritePackedPower = 6;    // cells, start protection, stick enable
constexpr std::size_t kWritePackedControl = 7;  // control type, overload
constexpr std::size_t kWriteDeclination = 8;
constexpr std::size_t kWriteMaxSpeed = 15;
constexpr std::size_t kWritePackedRadio = 18;   // remote mode, voltage alarm, ESC type, servo rate
constexpr std::size_t kParPackedPower = 5;
constexpr std::size_t kParDeclination = 27;
constexpr std::size_t kParMaxSpeed = 32;
constexpr std::size_t kParPackedControl = 42;
constexpr std::size_t kParPackedRadio = 43;
constexpr int kOverloadItems = 3;

constexpr std::array<std::string_view, kMixingColumns> kMixingColumnLabels = {"油门(%)", "磁偏角(%)", "俯仰(%)",
                                                                              "横滚(%)"};

} // namespace

// ------------------------------------------------------------------ typed-in numbers

int editInteger(std::string_view text)
{
    text = trimLeft(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    long long value = 0;
    bool anyDigit = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        anyDigit = true;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return 0; // beyond the int range: the conversion fails
    }
    if (!anyDigit)
        return 0;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(value);
}

double editDecimal(std::string_view text)
{
    text = trimLeft(text);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (res.ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

uint8_t lowByte(int value)
{
    return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

int signedAbove128(uint8_t byte)
{
    return byte > 128 ? static_cast<int>(byte) - 256 : static_cast<int>(byte);
}

// ------------------------------------------------------------------ "磁偏角"

uint8_t encodeDeclination(double degrees)
{
    if (!std::isfinite(degrees))
        return 0;
    // Whole-degree forms: 101..126 above +10, -101..-128 below -10 (the byte range that reads
    // back with the right sign).
    constexpr double kHighest = 126.0;
    constexpr double kLowest = -128.0;
    double coded;
    if (std::fabs(degrees) <= 10.0)
        coded = std::trunc(degrees * 10.0);
    else if (degrees > 10.0)
        coded = std::min(std::trunc(degrees + 100.0), kHighest);
    else
        coded = std::max(std::trunc(degrees - 100.0), kLowest);
    return lowByte(static_cast<int>(coded));
}

double decodeDeclination(uint8_t byte)
{
    const int b = byte;
    if (b >= 127) {
        const int s = b - 256;
        if (s >= -100)
            return s * 0.1;
        return s + 100;
    }
    if (b > 100)
        return b - 100;
    return b * 0.1;
}

std::string declinationText(uint8_t byte)
{
    return fixedText(decodeDeclination(byte), 1);
}

// ------------------------------------------------------------------ "最大速度"

uint8_t maxSpeedCode(int item, double customMps)
{
    if (item >= 0 && item < static_cast<int>(kMaxSpeedCodes.size()))
        return kMaxSpeedCodes[static_cast<std::size_t>(item)];
    if (!std::isfinite(customMps))
        return 0;
    const double code = std::trunc(customMps * 25.0);
    return static_cast<uint8_t>(std::clamp(code, 0.0, 255.0));
}

int maxSpeedItemForCode(uint8_t code)
{
    for (std::size_t i = 0; i < kMaxSpeedCodes.size(); ++i)
        if (kMaxSpeedCodes[i] == code)
            return static_cast<int>(i);
    return kMaxSpeedCustomItem;
}

std::string customSpeedText(uint8_t code)
{
    return fixedText(code * kMaxSpeedUnitMps, 1);
}

// ------------------------------------------------------------------ "参数设置" controls

std::string_view paramEditLabel(EParamEdit edit)
{
    return kEditLabels[static_cast<std::size_t>(edit)];
}

std::string_view paramComboLabel(EParamCombo combo)
{
    return kComboLabels[static_cast<std::size_t>(combo)];
}

const std::vector<std::string_view>& paramComboItems(EParamCombo combo)
{
    static const std::array<std::vector<std::string_view>, kParamComboCount> items = {{
        {"3.6 米/秒", "4.8 米/秒", "6.0 米/秒", "8.0 米/秒", "10.2 米/秒", "自定义"},
        {"启用", "关闭"},
        {"启用", "关闭"},
        {"平缓", "普通", "剧烈"},
        {"自适应", "普通", "SBUS", "JR卫星"},
        {"3.55伏", "3.60伏", "3.65伏", "3.70伏"},
        {"50HZ", "250HZ", "333HZ", "Other"},
        {"普通电调(400HZ)", "XA电调(500HZ)", "IIC电调", "其他"},
    }};
    return items[static_cast<std::size_t>(combo)];
}

ParameterWriteBytes parameterWriteBytes(const SParamSetForm& form)
{
    ParameterWriteBytes out{};
    for (const SPlainEdit& e : kPlainEdits)
        out[e.writeIndex] = lowByte(editInteger(form.edit(e.edit)));

    const auto field = [&](EParamEdit e) { return editInteger(form.edit(e)); };
    const auto item = [&](EParamCombo c) { return form.combo(c); };
    // Sums in unsigned arithmetic: a typed value far outside a byte must not overflow an int.
    const auto add = [](std::initializer_list<long long> parts) {
        unsigned long long s = 0;
        for (long long p : parts)
            s += static_cast<unsigned long long>(p);
        return static_cast<uint8_t>(s & 0xFFu);
    };
    out[kWritePackedPower] = add({field(EParamEdit::CellCount), static_cast<long long>(item(EParamCombo::StartProtection)) << 4,
                                  static_cast<long long>(item(EParamCombo::StickEnable)) << 5});
    out[kWritePackedControl] =
        add({field(EParamEdit::ControlType), static_cast<long long>(item(EParamCombo::Overload)) << 4});
    out[kWriteDeclination] = encodeDeclination(editDecimal(form.edit(EParamEdit::Declination)));
    out[kWriteMaxSpeed] = maxSpeedCode(item(EParamCombo::MaxSpeed), editDecimal(form.customSpeed));
    out[kWritePackedRadio] = add({static_cast<long long>(item(EParamCombo::RemoteMode)),
                                  static_cast<long long>(item(EParamCombo::VoltageAlarm)) << 2,
                                  static_cast<long long>(item(EParamCombo::EscType)) << 4,
                                  static_cast<long long>(item(EParamCombo::ServoRate)) << 6});
    return out;
}

uplink::Frame parameterWriteFrame(const SParamSetForm& form)
{
    const ParameterWriteBytes bytes = parameterWriteBytes(form);
    return uplink::parameterWrite(std::span<const uint8_t, kParameterWriteBytes>(bytes));
}

void applyParameterValues(const SParameterValues& values, SParamSetForm& form)
{
    for (const SPlainEdit& e : kPlainEdits) {
        const uint8_t b = parByte(values, e.parByte);
        form.edit(e.edit) = intText(e.signedReadback ? signedAbove128(b) : b);
    }

    const uint8_t power = parByte(values, kParPackedPower);
    form.edit(EParamEdit::CellCount) = intText(power & 0x0F);
    form.combo(EParamCombo::StartProtection) = (power >> 4) & 1;
    form.combo(EParamCombo::StickEnable) = (power >> 5) & 1;

    const uint8_t control = parByte(values, kParPackedControl);
    form.edit(EParamEdit::ControlType) = intText(control & 0x0F);
    if ((control >> 4) < kOverloadItems)
        form.combo(EParamCombo::Overload) = control >> 4;

    const uint8_t radio = parByte(values, kParPackedRadio);
    form.combo(EParamCombo::RemoteMode) = radio & 3;
    form.combo(EParamCombo::VoltageAlarm) = (radio >> 2) & 3;
    form.combo(EParamCombo::EscType) = (radio >> 4) & 3;
    form.combo(EParamCombo::ServoRate) = (radio >> 6) & 3;

    const uint8_t speed = parByte(values, kParMaxSpeed);
    form.combo(EParamCombo::MaxSpeed) = maxSpeedItemForCode(speed);
    if (form.customSpeedShown())
        form.customSpeed = customSpeedText(speed);

    form.edit(EParamEdit::Declination) = declinationText(parByte(values, kParDeclination));
}

// ------------------------------------------------------------------ checks before "发送"

SFieldRange paramEditRange(EParamEdit edit)
{
    switch (edit) {
    case EParamEdit::Declination:
        return {kDeclinationMinDeg, kDeclinationMaxDeg, true};
    case EParamEdit::CellCount:
    case EParamEdit::ControlType:
        return {0, 15, false}; // four bits
    case EParamEdit::GimbalRollGain:
    case EParamEdit::GimbalPitchGain:
        return {-127, 128, false}; // shown minus 256 above 128
    default:
        return {0, 255, false};
    }
}

std::string rangeMessage(std::string_view label, const SFieldRange& range)
{
    const auto bound = [&](double v) { return range.decimal ? fixedText(v, 1) : intText(static_cast<int>(v)); };
    return "“" + std::string(label) + "”须为 " + bound(range.min) + " 到 " + bound(range.max) +
           (range.decimal ? " 之间的数" : " 之间的整数");
}

bool textInRange(std::string_view text, const SFieldRange& range)
{
    text = trimLeft(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    double value = 0;
    if (range.decimal) {
        const auto res = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
        if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(value))
            return false;
    } else {
        long long n = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
        if (res.ec != std::errc() || res.ptr != text.data() + text.size())
            return false;
        value = static_cast<double>(n);
    }
    return value >= range.min && value <= range.max;
}

std::optional<std::string> checkParamForm(const SParamSetForm& form)
{
    for (std::size_t i = 0; i < kParamEditCount; ++i) {
        const auto e = static_cast<EParamEdit>(i);
        if (!textInRange(form.edit(e), paramEditRange(e)))
            return rangeMessage(paramEditLabel(e), paramEditRange(e));
    }
    if (form.customSpeedShown() && !textInRange(form.customSpeed, kCustomSpeedRange))
        return rangeMessage("最大速度", kCustomSpeedRange);
    return std::nullopt;
}

bool paramFormFilled(const SParamSetForm& form)
{
    for (const std::string& text : form.edits)
        if (trimLeft(text).empty())
            return false;
    return !form.customSpeedShown() || !trimLeft(form.customSpeed).empty();
}

// ------------------------------------------------------------------ "自定义参数"

std::string_view mixingColumnLabel(int column)
{
    if (column < 0 || column >= kMixingColumns)
        return {};
    return kMixingColumnLabels[static_cast<std::size_t>(column)];
}

std::array<uint8_t, 8> mixingColumnBytes(const MixingTexts& texts, int column)
{
    std::array<uint8_t, 8> out{};
    if (column < 0 || column >= kMixingColumns)
        return out;
    for (int m = 0; m < kMixingMotors; ++m)
        out[static_cast<std::size_t>(m)] = lowByte(editInteger(texts[mixingIndex(column, m)]));
    return out;
}

std::vector<uplink::Frame> mixingWriteFrames(const MixingTexts& texts)
{
    static constexpr uint8_t kCodes[kMixingColumns] = {kCommandCustomColumn1, kCommandCustomColumn2,
                                                       kCommandCustomColumn3, kCommandCustomColumn4};
    std::vector<uplink::Frame> frames;
    for (int c = 0; c < kMixingColumns; ++c) {
        const std::array<uint8_t, 8> data = mixingColumnBytes(texts, c);
        frames.push_back(uplink::commandCodeWithData(kCodes[c], std::span<const uint8_t, 8>(data)));
    }
    return frames;
}

MixingTexts mixingTexts(const SCustomParameters& parameters)
{
    MixingTexts out;
    for (std::size_t i = 0; i < kMixingValues; ++i)
        out[i] = intText(signedAbove128(parameters.raw[i]));
    return out;
}

std::string mixingCellLabel(int column, int motor)
{
    std::string label(mixingColumnLabel(column));
    return "M" + intText(motor + 1) + " " + label;
}

std::optional<std::string> checkMixingTexts(const MixingTexts& texts)
{
    for (int c = 0; c < kMixingColumns; ++c)
        for (int m = 0; m < kMixingMotors; ++m)
            if (!textInRange(texts[mixingIndex(c, m)], kMixingRange))
                return rangeMessage(mixingCellLabel(c, m), kMixingRange);
    return std::nullopt;
}

bool mixingTextsFilled(const MixingTexts& texts)
{
    for (const std::string& text : texts)
        if (trimLeft(text).empty())
            return false;
    return true;
}

} // namespace orvex
