#pragma once
// The command buttons of the flight control panel: which frame each button sends, which Yes/No
// question it asks first, and how the typed altitude and target numbers are read. The widget
// only forwards its clicks here, so every button's behaviour is tested without a window.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvex {

enum class EFlightCommandKind {
    Code,            // the single-code command frame
    ClickToFly,      // "$WIFIQ" with the map's click point, and the map mark
    GimbalLockPoint, // "$WIFI\" with the same point, and the same mark
    ChangeAltitude,  // "$WIFIjj" with the typed metres x 10
    ChangeTarget,    // "$WIFIgg" with the typed number
};

struct SFlightCommandButton {
    int controlId;
    const char* label;
    const char* question; // nullptr: sent at once
    int code;             // command code for EFlightCommandKind::Code, else -1
    EFlightCommandKind kind;
};

// Every button of the panel, in the order the panel lays them out.
std::span<const SFlightCommandButton> flightCommandButtons();
// The button with the control id, or nullptr.
const SFlightCommandButton* flightCommandButton(int controlId);

// Control ids of the buttons the panel treats specially.
constexpr int kButtonReturnHome = 1128;
constexpr int kButtonClickToFly = 1052;
constexpr int kButtonGimbalLockPoint = 1032;
constexpr int kButtonChangeAltitude = 1050;
constexpr int kButtonChangeTarget = 1027;

// Typed numbers: the altitude goes out as metres x 10 in 16 unsigned bits, the target as one byte.
// Values that would not survive that (negative, too large, not a number) are refused instead of
// being sent wrapped around.
constexpr int kMaxTypedAltitudeM = 6553;
constexpr int kMaxTypedTarget = 255;
extern const char* const kInvalidAltitudeText;
extern const char* const kInvalidTargetText;
extern const char* const kNoClickPointText;
// "改变目标" beyond the waypoints the flight controller holds: "目标航点 99 超出飞控中的航点数 5".
std::string targetBeyondStoredText(long long target, int stored);
// The "改变高度" question with the typed value: "改变高度为 80 米?".
std::string changeAltitudeQuestion(long long metres);

// A signed decimal integer as typed into an edit box: blanks around it, an optional sign and
// digits only. Anything else (empty, letters, more than nine digits) gives nothing.
std::optional<long long> parseTypedInteger(std::string_view text);

// The point last picked on the map (latitude, longitude, altitude as the page sent them).
struct SFlyToPoint {
    float latitude = 0;
    float longitude = 0;
    float altitude = 0;
};

// The map keeps its click point as three numbers that start at 0; a point at latitude 0 and
// longitude 0 is taken as "nothing picked yet" rather than sent to the aircraft.
std::optional<SFlyToPoint> pickedPoint(float latitude, float longitude, float altitude);

class IFlightCommandHost {
  public:
    virtual ~IFlightCommandHost() = default;
    // A Yes/No box with the text; true on Yes. Flight commands always pass defaultYes = false, so
    // Enter alone never sends one.
    virtual bool askYesNo(const std::string& question, bool defaultYes) = 0;
    virtual void showMessage(const std::string& text) = 0;
    // "Send on both links".
    virtual void sendOnBothLinks(std::span<const std::uint8_t> frame) = 0;
    // Nothing while no point has been picked on the map yet.
    virtual std::optional<SFlyToPoint> clickPoint() = 0;
    // Marks the fly-to point on the map (setclickpttomap).
    virtual void markClickPoint(const SFlyToPoint& point) = 0;
    // storedWaypointCount of the current record: "改变目标" goes no further.
    virtual int storedWaypointCount() = 0;
};

enum class EFlightCommandResult { Sent, Declined, InvalidInput, NoClickPoint, UnknownButton };

class CFlightCommands {
  public:
    explicit CFlightCommands(IFlightCommandHost& host) : m_host(host) {}

    // One click on the button; `typed` is the text of the button's edit box (altitude, target).
    EFlightCommandResult press(int controlId, std::string_view typed = {});

  private:
    EFlightCommandResult sendPoint(bool gimbal);
    IFlightCommandHost& m_host;
};

} // namespace orvex
