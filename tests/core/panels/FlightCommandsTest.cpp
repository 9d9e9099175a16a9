// The command buttons of the flight control panel: questions, frames and typed numbers. The
// frames are the uplink builders', whose bytes the protocol tests write out from the layouts.
#include <gtest/gtest.h>

#include <vector>

#include "panels/FlightCommands.h"
#include "protocol/Uplink.h"

using namespace orvex;

namespace {

using Bytes = std::vector<std::uint8_t>;

class FakeHost : public IFlightCommandHost {
  public:
    bool askYesNo(const std::string& question, bool defaultYes) override
    {
        questions.push_back(question);
        anyDefaultYes = anyDefaultYes || defaultYes;
        return answerYes;
    }
    int storedWaypointCount() override { return stored; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void sendOnBothLinks(std::span<const std::uint8_t> frame) override
    {
        sent.emplace_back(frame.begin(), frame.end());
    }
    std::optional<SFlyToPoint> clickPoint() override { return point; }
    void markClickPoint(const SFlyToPoint& p) override { marks.push_back(p); }

    bool answerYes = true;
    bool anyDefaultYes = false; // Enter alone would send the command
    int stored = 255;
    std::optional<SFlyToPoint> point;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<Bytes> sent;
    std::vector<SFlyToPoint> marks;
};

} // namespace

TEST(FlightCommandButtons, EveryCodeButtonAsksItsQuestionAndSendsItsCode)
{
    const struct {
        int id;
        const char* question;
        std::uint8_t code;
    } table[] = {
        {1128, "返航回家?", 87},  {1129, "自动起飞?", 88}, {1130, "打开航线?", 122},
        {1131, "关闭航线?", 123}, {1035, "回家位置?", 86}, {1049, "关闭引擎?", 124},
        {1134, "打开保险?", 137}, {1033, nullptr, 89},     {1038, "关接收机?", 90},
        {1039, nullptr, 120},     {1037, nullptr, 121},    {1031, "退出 所点即所到/云台所定点?", 85},
    };
    for (const auto& e : table) {
        FakeHost host;
        CFlightCommands commands(host);
        EXPECT_EQ(commands.press(e.id), EFlightCommandResult::Sent) << e.id;
        EXPECT_EQ(host.questions, e.question ? std::vector<std::string>{e.question} : std::vector<std::string>{}) << e.id;
        EXPECT_FALSE(host.anyDefaultYes) << e.id << ": No is the default button";
        ASSERT_EQ(host.sent.size(), 1u) << e.id;
        EXPECT_EQ(host.sent[0], uplink::commandCode(e.code)) << e.id;
    }
    EXPECT_EQ(flightCommandButton(4242), nullptr);
}

TEST(FlightCommandButtons, AltitudeAsTypedMetresTimesTenTargetUpToTheStoredCountAndNoSendsNothing)
{
    FakeHost host;
    host.stored = 7;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonChangeAltitude, " 120 "), EFlightCommandResult::Sent);
    EXPECT_EQ(commands.press(kButtonChangeAltitude, "6553"), EFlightCommandResult::Sent); // 65530 = 0xFFFA
    EXPECT_EQ(commands.press(kButtonChangeTarget, "+7"), EFlightCommandResult::Sent);
    EXPECT_EQ(host.sent, (std::vector<Bytes>{uplink::altitude(120), uplink::altitude(6553), uplink::targetWaypoint(7)}));
    EXPECT_EQ(host.questions, (std::vector<std::string>{"改变高度为 120 米?", "改变高度为 6553 米?"}))
        << "no question for the target";

    host = FakeHost{};
    host.answerYes = false;
    EXPECT_EQ(commands.press(kButtonReturnHome), EFlightCommandResult::Declined);
    EXPECT_EQ(commands.press(kButtonChangeAltitude, "120"), EFlightCommandResult::Declined);
    EXPECT_EQ(host.questions, (std::vector<std::string>{"返航回家?", "改变高度为 120 米?"}));
    EXPECT_FALSE(host.anyDefaultYes);
    EXPECT_TRUE(host.sent.empty());
}

TEST(FlightCommandButtons, AltitudeOrTargetOutOfRangeIsRefusedWithoutAQuestion)
{
    const struct {
        int button;
        const char* typed;
        std::string message;
    } cases[] = {
        {kButtonChangeAltitude, "", kInvalidAltitudeText},      {kButtonChangeAltitude, "12a", kInvalidAltitudeText},
        {kButtonChangeAltitude, "-1", kInvalidAltitudeText},    {kButtonChangeAltitude, "6554", kInvalidAltitudeText},
        {kButtonChangeAltitude, "1.5", kInvalidAltitudeText},   {kButtonChangeAltitude, "9999999999", kInvalidAltitudeText},
        {kButtonChangeTarget, "256", kInvalidTargetText},       {kButtonChangeTarget, "-3", kInvalidTargetText},
        {kButtonChangeTarget, "0x1", kInvalidTargetText},       {kButtonChangeTarget, "１", kInvalidTargetText},
        {kButtonChangeTarget, "1 2", kInvalidTargetText},         {kButtonChangeTarget, "8", "目标航点 8 超出飞控中的航点数 7"},
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.stored = 7;
        CFlightCommands commands(host);
        EXPECT_EQ(commands.press(c.button, c.typed), EFlightCommandResult::InvalidInput) << c.typed;
        EXPECT_TRUE(host.sent.empty()) << c.typed;
        EXPECT_TRUE(host.questions.empty()) << c.typed;
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.typed;
    }
}

TEST(FlightCommandButtons, ClickToFlyAndGimbalLockCarryThePickedPointTwiceAndMarkIt)
{
    FakeHost host;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonClickToFly), EFlightCommandResult::NoClickPoint);
    EXPECT_EQ(commands.press(kButtonGimbalLockPoint), EFlightCommandResult::NoClickPoint);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(host.marks.empty());

    host.point = SFlyToPoint{22.5f, 113.25f, 80.0f};
    EXPECT_EQ(commands.press(kButtonClickToFly), EFlightCommandResult::Sent);
    EXPECT_EQ(commands.press(kButtonGimbalLockPoint), EFlightCommandResult::Sent);
    EXPECT_EQ(host.sent, (std::vector<Bytes>{uplink::clickToFly(22.5f, 113.25f), uplink::gimbalLockPoint(22.5f, 113.25f)}));
    EXPECT_TRUE(host.questions.empty());
    ASSERT_EQ(host.marks.size(), 2u);
    EXPECT_EQ(host.marks[0].altitude, 80.0f);

    // The map's initial point (0, 0) is no pick.
    EXPECT_FALSE(pickedPoint(0, 0, 120).has_value());
    EXPECT_TRUE(pickedPoint(0, 113.5f, 0).has_value());
    EXPECT_EQ(pickedPoint(22.25f, 0, 9)->altitude, 9.0f);
}
