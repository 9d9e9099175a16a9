#include "panels/FlightCommands.h"

#include <array>
#include <string>

#include "protocol/Uplink.h"

namespace orvex {

namespace {

using K = EFlightCommandKind;

constexpr std::array<SFlightCommandButton, 16> kButtons = {{
    {1128, "返航回家", "返航回家?", 87, K::Code},
    {1129, "自动起飞", "自动起飞?", 88, K::Code},
    {1130, "打开航线", "打开航线?", 122, K::Code},
    {1131, "关闭航线", "关闭航线?", 123, K::Code},
    {1035, "回家位置", "回家位置?", 86, K::Code},
    {1049, "关闭引擎", "关闭引擎?", 124, K::Code},
    {1134, "打开保险", "打开保险?", 137, K::Code},
    {1033, "开接收机", nullptr, 89, K::Code},
    {1038, "关接收机", "关接收机?", 90, K::Code},
    {1039, "进入设置", nullptr, 120, K::Code},
    {1037, "退出设置", nullptr, 121, K::Code},
    {1031, "退出所点所到/锁定", "退出 所点即所到/云台所定点?", 85, K::Code},
    {kButtonClickToFly, "所点即所到", nullptr, -1, K::ClickToFly},
    {kButtonGimbalLockPoint, "云台锁定点", nullptr, -1, K::GimbalLockPoint},
    {kButtonChangeAltitude, "改变高度", "改变高度?", -1, K::ChangeAltitude},
    {kButtonChangeTarget, "改变目标", nullptr, -1, K::ChangeTarget},
}};

constexpr int kMaxTypedDigits = 9;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

const char* const kInvalidAltitudeText = "请输入 0 到 6553 之间的整数高度(米)";
const char* const kInvalidTargetText = "请输入 0 到 255 之间的整数航点号";
const char* const kNoClickPointText = "请先在地图上点选目标点";

std::string targetBeyondStoredText(long long target, int stored)
{
    return "目标航点 " + std::to_string(target) + " 超出飞控中的航点数 " + std::to_string(stored);
}

std::string changeAltitudeQuestion(long long metres)
{
    return "改变高度为 " + std::to_string(metres) + " 米?";
}

std::span<const SFlightCommandButton> flightCommandButtons()
{
    return kButtons;
}

const SFlightCommandButton* flightCommandButton(int controlId)
{
    for (const SFlightCommandButton& b : kButtons)
        if (b.controlId == controlId) return &b;
    return nullptr;
}

std::optional<long long> parseTypedInteger(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > kMaxTypedDigits) return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::optional<SFlyToPoint> pickedPoint(float latitude, float longitude, float altitude)
{
    if (latitude == 0 && longitude == 0) return std::nullopt;
    return SFlyToPoint{latitude, longitude, altitude};
}

EFlightCommandResult CFlightCommands::press(int controlId, std::string_view typed)
{
    const SFlightCommandButton* button = flightCommandButton(controlId);
    if (!button) return EFlightCommandResult::UnknownButton;

    switch (button->kind) {
    case K::Code: {
        if (button->question && !m_host.askYesNo(button->question, false)) return EFlightCommandResult::Declined;
        const uplink::Frame frame = uplink::commandCode(static_cast<std::uint8_t>(button->code));
        m_host.sendOnBothLinks(frame);
        return EFlightCommandResult::Sent;
    }
    case K::ClickToFly:
        return sendPoint(false);
    case K::GimbalLockPoint:
        return sendPoint(true);
    case K::ChangeAltitude: {
        const std::optional<long long> metres = parseTypedInteger(typed);
        if (!metres || *metres < 0 || *metres > kMaxTypedAltitudeM) {
            m_host.showMessage(kInvalidAltitudeText);
            return EFlightCommandResult::InvalidInput;
        }
        if (!m_host.askYesNo(changeAltitudeQuestion(*metres), false)) return EFlightCommandResult::Declined;
        m_host.sendOnBothLinks(uplink::altitude(static_cast<int>(*metres)));
        return EFlightCommandResult::Sent;
    }
    case K::ChangeTarget: {
        const std::optional<long long> number = parseTypedInteger(typed);
        if (!number || *number < 0 || *number > kMaxTypedTarget) {
            m_host.showMessage(kInvalidTargetText);
            return EFlightCommandResult::InvalidInput;
        }
        if (const int stored = m_host.storedWaypointCount(); *number > stored) {
            m_host.showMessage(targetBeyondStoredText(*number, stored));
            return EFlightCommandResult::InvalidInput;
        }
        m_host.sendOnBothLinks(uplink::targetWaypoint(static_cast<std::uint8_t>(*number)));
        return EFlightCommandResult::Sent;
    }
    }
    return EFlightCommandResult::UnknownButton;
}

EFlightCommandResult CFlightCommands::sendPoint(bool gimbal)
{
    const std::optional<SFlyToPoint> point = m_host.clickPoint();
    if (!point) {
        m_host.showMessage(kNoClickPointText);
        return EFlightCommandResult::NoClickPoint;
    }
    const uplink::Frame frame = gimbal ? uplink::gimbalLockPoint(point->latitude, point->longitude)
                                       : uplink::clickToFly(point->latitude, point->longitude);
    m_host.sendOnBothLinks(frame);
    m_host.markClickPoint(*point);
    return EFlightCommandResult::Sent;
}

} // namespace orvex
