// The command buttons of the flight control panel: questions, frames and typed numbers. The
// expected frames are written out byte by byte from the frame layouts.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

#include "panels/FlightCommands.h"

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

Bytes codeFrame(std::uint8_t code)
{
    Bytes f(30, 0);
    std::memcpy(f.data(), "$WIFI", 5);
    f[5] = f[6] = f[7] = code;
    return f;
}

void putF32(Bytes& f, std::size_t at, float v)
{
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

} // namespace

TEST(FlightCommandButtons, EveryCodeButtonAsksItsQuestionAndSendsItsCode)
{
    struct Expect {
        int id;
        const char* question;
        std::uint8_t code;
    };
    const Expect table[] = {
        {1128, "返航回家?", 87},  {1129, "自动起飞?", 88}, {1130, "打开航线?", 122},
        {1131, "关闭航线?", 123}, {1035, "回家位置?", 86}, {1049, "关闭引擎?", 124},
        {1134, "打开保险?", 137}, {1033, nullptr, 89},     {1038, "关接收机?", 90},
        {1039, nullptr, 120},     {1037, nullptr, 121},    {1031, "退出 所点即所到/云台所定点?", 85},
    };
    for (const Expect& e : table) {
        FakeHost host;
        CFlightCommands commands(host);
        EXPECT_EQ(commands.press(e.id), EFlightCommandResult::Sent) << e.id;
        if (e.question) {
            ASSERT_EQ(host.questions.size(), 1u) << e.id;
            EXPECT_EQ(host.questions[0], e.question);
        } else {
            EXPECT_TRUE(host.questions.empty()) << e.id;
        }
        EXPECT_FALSE(host.anyDefaultYes) << e.id << ": No is the default button";
        ASSERT_EQ(host.sent.size(), 1u) << e.id;
        EXPECT_EQ(host.sent[0], codeFrame(e.code)) << e.id;
    }
    EXPECT_EQ(flightCommandButton(4242), nullptr);
}

TEST(FlightCommandButtons, AnsweringNoSendsNothing)
{
    FakeHost host;
    host.answerYes = false;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonReturnHome), EFlightCommandResult::Declined);
    EXPECT_EQ(commands.press(kButtonChangeAltitude, "120"), EFlightCommandResult::Declined);
    EXPECT_EQ(commands.press(1038), EFlightCommandResult::Declined);
    EXPECT_EQ(host.questions, (std::vector<std::string>{"返航回家?", "改变高度为 120 米?", "关接收机?"}));
    EXPECT_FALSE(host.anyDefaultYes);
    EXPECT_TRUE(host.sent.empty());
}

TEST(FlightCommandButtons, ChangeAltitudeSendsTypedMetresTimesTen)
{
    FakeHost host;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonChangeAltitude, " 120 "), EFlightCommandResult::Sent);
    Bytes expected(30, 0);
    std::memcpy(expected.data(), "$WIFIjj", 7);
    for (int i : {7, 9, 11}) {
        expected[i] = 0xB0;
        expected[i + 1] = 0x04;
    }
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0], expected);

    host.sent.clear();
    EXPECT_EQ(commands.press(kButtonChangeAltitude, "6553"), EFlightCommandResult::Sent);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0][7], 0xFA); // 65530 = 0xFFFA
    EXPECT_EQ(host.sent[0][8], 0xFF);
}

TEST(FlightCommandButtons, AltitudeThatWouldWrapIsRefusedWithoutAQuestion)
{
    for (const char* typed : {"", "abc", "12a", "-1", "6554", "100000", "1.5", "9999999999"}) {
        FakeHost host;
        CFlightCommands commands(host);
        EXPECT_EQ(commands.press(kButtonChangeAltitude, typed), EFlightCommandResult::InvalidInput) << typed;
        EXPECT_TRUE(host.sent.empty()) << typed;
        EXPECT_TRUE(host.questions.empty()) << typed;
        EXPECT_EQ(host.messages, std::vector<std::string>{kInvalidAltitudeText}) << typed;
    }
}

TEST(FlightCommandButtons, ChangeTargetSendsTheTypedNumberUpToTheStoredCountWithoutAQuestion)
{
    FakeHost host;
    host.stored = 7;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonChangeTarget, "+7"), EFlightCommandResult::Sent);
    Bytes expected(30, 0);
    std::memcpy(expected.data(), "$WIFIgg", 7);
    expected[7] = expected[8] = 7;
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0], expected);
    EXPECT_TRUE(host.questions.empty());

    for (const char* typed : {"256", "-3", "x", "", "8"}) {
        host.sent.clear();
        EXPECT_EQ(commands.press(kButtonChangeTarget, typed), EFlightCommandResult::InvalidInput) << typed;
        EXPECT_TRUE(host.sent.empty());
    }
    EXPECT_EQ(host.messages.front(), kInvalidTargetText);
    EXPECT_EQ(host.messages.back(), "目标航点 8 超出飞控中的航点数 7");
}

TEST(FlightCommandButtons, ClickToFlyAndGimbalLockCarryThePointTwiceAndMarkIt)
{
    FakeHost host;
    host.point = SFlyToPoint{22.5f, 113.25f, 80.0f};
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonClickToFly), EFlightCommandResult::Sent);
    EXPECT_EQ(commands.press(kButtonGimbalLockPoint), EFlightCommandResult::Sent);

    Bytes q(30, 0);
    std::memcpy(q.data(), "$WIFIQ", 6);
    putF32(q, 6, 22.5f);
    putF32(q, 10, 113.25f);
    putF32(q, 14, 22.5f);
    putF32(q, 18, 113.25f);
    q[22] = 'Q';
    Bytes g = q;
    g[5] = g[22] = 0x5C;
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0], q);
    EXPECT_EQ(host.sent[1], g);
    EXPECT_TRUE(host.questions.empty());
    ASSERT_EQ(host.marks.size(), 2u);
    EXPECT_EQ(host.marks[0].latitude, 22.5f);
    EXPECT_EQ(host.marks[0].longitude, 113.25f);
    EXPECT_EQ(host.marks[0].altitude, 80.0f);
}

TEST(FlightCommandButtons, NoPickedPointSendsNothing)
{
    FakeHost host;
    CFlightCommands commands(host);
    EXPECT_EQ(commands.press(kButtonClickToFly), EFlightCommandResult::NoClickPoint);
    EXPECT_EQ(commands.press(kButtonGimbalLockPoint), EFlightCommandResult::NoClickPoint);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(host.marks.empty());
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST(FlightCommandButtons, TheMapsInitialZeroPointCountsAsNotPicked)
{
    EXPECT_FALSE(pickedPoint(0, 0, 120).has_value());
    ASSERT_TRUE(pickedPoint(0, 113.5f, 0).has_value());
    EXPECT_EQ(pickedPoint(22.25f, 0, 9)->latitude, 22.25f);
    EXPECT_EQ(pickedPoint(22.25f, 0, 9)->altitude, 9.0f);
}

TEST(TypedIntegers, SignedDecimalOnly)
{
    EXPECT_EQ(parseTypedInteger("0"), 0);
    EXPECT_EQ(parseTypedInteger("  -42\t"), -42);
    EXPECT_EQ(parseTypedInteger("+5"), 5);
    EXPECT_EQ(parseTypedInteger("999999999"), 999999999);
    EXPECT_FALSE(parseTypedInteger("1000000000"));
    EXPECT_FALSE(parseTypedInteger("-"));
    EXPECT_FALSE(parseTypedInteger("1 2"));
    EXPECT_FALSE(parseTypedInteger("0x10"));
    EXPECT_FALSE(parseTypedInteger("１２")); // full-width digits are not decimal digits here
}
