#pragma once
// The simulated aircraft: a plain kinematic model of a multirotor with the flight controller's
// side of the protocol. It answers the ground station's uplink frames (waypoint store and echo,
// parameters, mixing table, compass calibration, acknowledgements), flies the commands (take-off,
// route, return home, click-to-fly, altitude and target changes, engine off) and sends "$STP"
// telemetry at the configured rate.
//
// Time is given by the caller: advance(nowMs) steps the model to `nowMs` and sends whatever fell
// due; nextDeadlineMs() tells when the next sentence is due. Sentences leave through ISimOutput,
// periodic ones on every active link, answers on the link the request came from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "protocol/TelemetryRecord.h"
#include "protocol/UplinkParser.h"
#include "sim/FaultInjector.h"

namespace orvex {

enum class ESimLink { Serial, Udp };

class ISimOutput {
  public:
    virtual ~ISimOutput() = default;
    virtual void send(ESimLink link, std::span<const uint8_t> sentence) = 0;
    // Operator notices (heartbeat lost / back); one line without newline.
    virtual void notice(const std::string& /*text*/) {}
};

// The simulated flight controller's flight phases. The record's controlMode byte carries the code
// of the ground station's flight mode list for each phase (reportedControlMode).
enum ESimMode : uint8_t {
    kSimLanded = 0,
    kSimTakingOff = 1,
    kSimHover = 2,
    kSimRoute = 3,
    kSimReturnHome = 4,
    kSimClickToFly = 5,
    kSimLanding = 6,
    kSimEngineOff = 7, // engine stopped in the air: coming down
};

// controlMode code reported for a phase, from the flight mode list "手动", "自动悬停", "自动导航",
// "就地盘旋", "所点即所到", ... "返航降落" (codes 0 to 11).
uint8_t reportedControlMode(ESimMode mode);

struct SSimConfig {
    double homeLatitude = 22.6142; // a flying field north-west of Shenzhen
    double homeLongitude = 113.8431;
    double rateHz = 5;
    uint64_t seed = 1;
    bool nmea = false; // "$GPGGA" once a second on the serial link
    // Demonstration flight: a small loop around home is stored at start, and a couple of seconds
    // later the aircraft takes off and flies it, over and over, as if the operator had uploaded it
    // and opened the route. Every command of the ground station still applies.
    bool demo = false;
};

struct SSimWaypoint {
    bool present = false;
    float latitude = 0, longitude = 0;
    int32_t altitudeMetres = 0;
    uint16_t circleTime = 0;
    uint8_t circleFlag = 0;
    uint8_t photoMode = 0;
};

struct SSimCounters {
    std::size_t recordsSent = 0; // "$STP" handed to the output, per link summed
    std::size_t recordsSerial = 0;
    std::size_t recordsUdp = 0;
    std::size_t sentencesSent = 0;
    std::size_t framesReceived = 0;
    std::size_t photosTaken = 0;
};

class CSimAircraft {
  public:
    static constexpr int64_t kStepMs = 20;
    static constexpr double kDefaultTakeoffAltitudeM = 30;
    static constexpr double kClimbRateMps = 2.5;
    static constexpr double kLandingRateMps = 1.5;
    static constexpr double kFallRateMps = 5;
    static constexpr double kArrivalRadiusM = 2;
    static constexpr int64_t kCompassPointPeriodMs = 100;
    static constexpr int64_t kNmeaPeriodMs = 1000;
    static constexpr int kGpsGoodSatellites = 6;
    static constexpr uint16_t kFirmwareVersion = 23061;
    static constexpr uint16_t kControllerSerial = 4217;
    static constexpr int64_t kDemoTakeoffDelayMs = 2000;
    static constexpr std::size_t kDemoWaypointCount = 5;
    static constexpr double kDemoRadiusM = 150;
    static constexpr int32_t kDemoAltitudeM = 40;
    // The demonstration climbs only this high before it sets off (it climbs on along the route).
    static constexpr double kDemoTakeoffAltitudeM = 10;

    CSimAircraft(const SSimConfig& config, ISimOutput& output);

    void setLinkActive(ESimLink link, bool active);
    // Sets the time base; the first record is due at once.
    void start(int64_t nowMs);
    void onUplink(const SUplinkFrame& frame, ESimLink from, int64_t nowMs);
    void advance(int64_t nowMs);
    int64_t nextDeadlineMs() const;
    // Local time of day for the records; UTC for the GPS lines (NMEA times are UTC).
    void setTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second);
    void setUtcTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second);

    // The "$STP" record of the present state (checksum set).
    CTelemetryRecord telemetryRecord() const;

    // Parameter bytes as "$PAR" carries them (frame bytes 4-43); byte 13 of the frame (index 9)
    // is the compass calibration state.
    std::array<uint8_t, 40> parameters() const;
    static std::array<uint8_t, 40> defaultParameters();
    // "$PAR" byte that carries each of the 20 "$WIFIss" data bytes.
    static const std::array<uint8_t, 20>& parameterWritePositions();
    const std::array<uint8_t, 32>& customParameters() const { return m_custom; }
    static std::array<uint8_t, 32> defaultCustomParameters();
    uint8_t compassState() const { return m_compassState; }

    uint8_t storedWaypointCount() const { return m_storedCount; }
    const std::vector<SSimWaypoint>& waypoints() const { return m_waypoints; }

    uint8_t mode() const { return m_mode; }
    bool engineOn() const { return m_engineOn; }
    uint8_t receiverOn() const { return m_receiverOn; }
    uint8_t targetWaypoint() const { return m_target; }
    double latitude() const { return m_lat; }
    double longitude() const { return m_lon; }
    double altitudeMetres() const { return m_alt; }
    double targetAltitudeMetres() const { return m_targetAlt; }
    double headingRadians() const { return m_heading; }
    double groundSpeed() const { return m_speed; }
    int satellites() const { return m_satellites; }
    double homeLatitude() const { return m_homeLat; }
    double homeLongitude() const { return m_homeLon; }
    bool routeOpen() const { return m_routeOpen; }
    // The demonstration route around a home point (waypoint 1 due north, then clockwise).
    static std::vector<SSimWaypoint> demoRoute(double homeLat, double homeLon);
    const SSimCounters& counters() const { return m_counters; }
    const CHeartbeatWatch& heartbeat() const { return m_heartbeat; }

    // Metres north and east from (lat0, lon0) to (lat1, lon1), flat-earth near the aircraft.
    static void offsetMetres(double lat0, double lon0, double lat1, double lon1, double& north, double& east);

  private:
    void step(double dt);
    void flyRoute(double dt);
    void updatePower(double dt);
    // Flies toward a point; true on arrival (horizontally within kArrivalRadiusM).
    bool flyTo(double lat, double lon, double dt);
    void hold(double dt);
    void climbTo(double alt, double rate, double dt);
    void beginHover();
    void beginRoute();
    void arriveAtWaypoint();
    // Moves on to the next waypoint; past the last one the demonstration starts over.
    void nextWaypoint();
    void takePhoto();
    void sendAll(std::span<const uint8_t> sentence);
    void sendTo(ESimLink link, std::span<const uint8_t> sentence);
    void sendCompassPoint();
    void commandCode(uint8_t code, ESimLink from);
    double cruiseSpeed() const;

    SSimConfig m_config;
    ISimOutput& m_out;
    bool m_serialActive = false;
    bool m_udpActive = false;
    std::mt19937_64 m_random;

    int64_t m_startMs = 0;
    int64_t m_modelMs = 0;
    int64_t m_nextRecordMs = 0;
    int64_t m_recordPeriodMs = 200;
    int64_t m_nextCompassMs = 0;
    int64_t m_nextNmeaMs = 0;
    int64_t m_lastAlignmentAckMs = -100000;
    bool m_started = false;
    int64_t m_demoTakeoffMs = -1; // the demonstration take-off still to come; -1: none

    // Flight state.
    double m_homeLat, m_homeLon;
    double m_lat, m_lon, m_alt = 0;
    double m_holdLat, m_holdLon;
    double m_driftN = 0, m_driftE = 0;
    double m_heading = 0, m_pitch = 0, m_roll = 0;
    double m_speed = 0, m_climb = 0, m_velN = 0, m_velE = 0;
    double m_targetAlt = kDefaultTakeoffAltitudeM;
    double m_clickLat = 0, m_clickLon = 0;
    uint8_t m_mode = kSimLanded;
    bool m_engineOn = false;
    bool m_routeOpen = false;
    bool m_routeAfterTakeoff = false;
    uint8_t m_receiverOn = 0;
    uint8_t m_target = 0;
    double m_loiterLeft = 0;
    uint8_t m_gimbalLockRadius = 0;
    double m_elapsedS = 0;
    int m_satellites = 0;
    bool m_gpsAnnounced = false;
    double m_current = 0;
    double m_consumedMah = 0;
    std::array<uint8_t, 6> m_motors{};
    uint8_t m_timeOfDay[3] = {0, 0, 0};
    uint8_t m_utcTimeOfDay[3] = {0, 0, 0};

    // Photos along the lanes.
    double m_photoSpacingM = 0; // 0: not photographing
    double m_sincePhotoM = 0;
    uint16_t m_pictureNumber = 0;

    // Flight controller memory.
    std::vector<SSimWaypoint> m_waypoints; // index = number - 1
    uint8_t m_storedCount = 0;
    std::array<uint8_t, 40> m_params;
    std::array<uint8_t, 32> m_custom;
    uint8_t m_compassState = 0;
    double m_compassAngle = 0;
    std::size_t m_compassPoints = 0;

    CHeartbeatWatch m_heartbeat;
    SSimCounters m_counters;
};

} // namespace orvex
