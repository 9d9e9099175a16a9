#pragma once
// Route upload and verification: the waypoints of the current route go to the flight controller
// one "$WIFIS" frame per tick (the caller ticks every kUploadTickMs), each is resent until its
// "$SETD" echo matches, then the "$WIFIT" count frame is repeated until the aircraft reports the
// same number of stored waypoints.
//
// The machine works on the route it was given (the application's current route) and reaches the
// outside through two callbacks: the frame sender ("send on both links") and the map's waypoint
// colouring (setSkyWayPTcolor index, state).
//
// Waypoint numbers travel in one byte: routes of more than kMaxUploadWaypoints waypoints are
// refused with kUploadTooManyText instead of being sent with wrapped numbers.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "route/SkyWay.h"

namespace orvex {

inline constexpr int kUploadTickMs = 600;
inline constexpr int kUploadResendAfterTicks = 3; // resent on the fourth tick after its send
inline constexpr size_t kMaxUploadWaypoints = 255;
inline constexpr int kSingleWaypointRepeats = 3;
// The echo's position bound: the single-precision value of 0.0002 degrees.
inline constexpr float kEchoPositionTolerance = 0.0002f;
inline constexpr const char* kUploadTooManyText = "航点数量超过255个,无法上传航线。";

// The status line once every waypoint is acknowledged and the aircraft reports the same count
// (after an upload, and after a verification read-back that echoed every waypoint).
std::string uploadDoneText(size_t waypointCount);

enum EUploadPhase : int { kUploadPhaseIdle = 0, kUploadPhaseSending = 1, kUploadPhaseFinishing = 2 };

class CRouteUpload {
public:
    using FrameSender = std::function<void(std::span<const uint8_t>)>;
    using PointColour = std::function<void(int index, int state)>;

    CRouteUpload(CSkyWay& route, FrameSender send, PointColour colour);

    // "上传航线(&U)" / "上传": every waypoint pending, the first one circling with no time limit,
    // phase 1. Nothing on an empty route. Returns kUploadTooManyText (and changes nothing) for a
    // route the aircraft cannot number.
    std::optional<std::string> start();

    // The step run every kUploadTickMs; `reportedWaypointCount` is the telemetry record's
    // storedWaypointCount. Returns uploadDoneText() on the tick that finds an upload (or a
    // read-back) complete: every waypoint acknowledged and the reported count equal to the route's.
    std::optional<std::string> tick(int reportedWaypointCount);

    // The echo check for one valid "$SETD". Returns whether it acknowledged a waypoint.
    bool onEcho(const SWaypointEcho& echo);
    // Whether a waypoint matches an echo (0.0002 degree bound, exact integer fields).
    static bool echoMatches(const CWayPoint& point, const SWaypointEcho& echo);

    // The waypoint menu's "上传": that waypoint's frame three times at once; the machine is not
    // involved. Refused (message) beyond kMaxUploadWaypoints; nothing for an index outside.
    std::optional<std::string> sendSingleWaypoint(size_t index);

    // "验证航线(&R)": the read-back request once. `ensureLinkOpen` (may be empty) makes sure a
    // live link is open and returns false when none could be opened: nothing is sent then.
    // From then on the echoes are counted until every waypoint has answered (see tick()).
    bool requestVerification(const std::function<bool()>& ensureLinkOpen = {});

    // "擦除航线": every waypoint unverified and idle, coloured 0 on the map, in order.
    void eraseMarks();

    int phase() const { return m_phase; }
    void setPhase(int phase) { m_phase = phase; }
    bool active() const { return m_phase != kUploadPhaseIdle; }

    // The "$WIFIS" frame of waypoint `index` (number index + 1).
    static std::vector<uint8_t> waypointFrame(const CWayPoint& point, size_t index);

private:
    CSkyWay& m_route;
    FrameSender m_send;
    PointColour m_colour;
    int m_phase = kUploadPhaseIdle;
    // While a read-back is awaited: which waypoints have echoed since the request.
    std::vector<bool> m_readBack;
};

} // namespace orvex
