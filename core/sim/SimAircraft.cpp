#include "sim/SimAircraft.h"

#include <algorithm>
#include <cmath>

#include "protocol/ByteFields.h"
#include "protocol/DownlinkBuilders.h"
#include "protocol/Uplink.h"

namespace orvex {

uint8_t reportedControlMode(ESimMode mode)
{
    switch (mode) {
    case kSimTakingOff:
    case kSimHover:
        return 1; // 自动悬停
    case kSimRoute:
        return 2; // 自动导航
    case kSimClickToFly:
        return 4; // 所点即所到
    case kSimReturnHome:
    case kSimLanding:
        return 11; // 返航降落
    case kSimLanded:
    case kSimEngineOff:
        break;
    }
    return 0; // 手动
}

namespace {

constexpr double kMetresPerDegree = 111319.49;
constexpr double kTwoPi = 2 * 3.14159265358979323846;
constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
constexpr double kMaxTurnRateRadPerS = 60 * kRadPerDeg;
constexpr double kAccelerationMps2 = 2.0;
constexpr double kMaxAltitudeM = 3000;

// The magnetometer's field as the calibration sees it: an ellipsoid off the origin.
constexpr float kMagCentreX = 120, kMagCentreY = -80, kMagCentreZ = 40;
constexpr float kMagRadiusX = 450, kMagRadiusY = 400, kMagRadiusZ = 380;
constexpr std::size_t kCompassPointsPerEstimate = 20;

// "$WIFIss" data byte k -> "$PAR" frame byte.
constexpr std::array<uint8_t, 20> kWritePositions = {7,  33, 38, 12, 4,  6,  5,  42, 27, 34,
                                                     26, 24, 17, 23, 22, 32, 25, 28, 43, 9};
constexpr std::size_t kCompassStateParByte = 13;
constexpr std::size_t kMaxSpeedParByte = 32;

uint8_t clampU8(double v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}
int16_t clampI16(double v)
{
    return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}
uint16_t clampU16(double v)
{
    return static_cast<uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
}

double wrapAngle(double a)
{
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

} // namespace

CSimAircraft::CSimAircraft(const SSimConfig& config, ISimOutput& output)
    : m_config(config), m_out(output), m_random(config.seed), m_homeLat(config.homeLatitude),
      m_homeLon(config.homeLongitude), m_lat(config.homeLatitude), m_lon(config.homeLongitude),
      m_holdLat(config.homeLatitude), m_holdLon(config.homeLongitude), m_params(defaultParameters()),
      m_custom(defaultCustomParameters())
{
    const double rate = std::clamp(config.rateHz, 0.1, 1000.0);
    m_recordPeriodMs = std::max<int64_t>(1, std::llround(1000.0 / rate));
    if (config.demo) {
        m_waypoints = demoRoute(m_homeLat, m_homeLon);
        m_storedCount = static_cast<uint8_t>(m_waypoints.size());
    }
}

std::vector<SSimWaypoint> CSimAircraft::demoRoute(double homeLat, double homeLon)
{
    std::vector<SSimWaypoint> route;
    const double metresPerDegreeLon = kMetresPerDegree * std::cos(homeLat * kRadPerDeg);
    for (std::size_t k = 0; k < kDemoWaypointCount; ++k) {
        const double bearing = kTwoPi * static_cast<double>(k) / kDemoWaypointCount;
        SSimWaypoint w;
        w.present = true;
        w.latitude = static_cast<float>(homeLat + kDemoRadiusM * std::cos(bearing) / kMetresPerDegree);
        w.longitude = static_cast<float>(homeLon + kDemoRadiusM * std::sin(bearing) / metresPerDegreeLon);
        w.altitudeMetres = kDemoAltitudeM;
        w.photoMode = 0;
        route.push_back(w);
    }
    return route;
}

const std::array<uint8_t, 20>& CSimAircraft::parameterWritePositions()
{
    return kWritePositions;
}

std::array<uint8_t, 40> CSimAircraft::defaultParameters()
{
    std::array<uint8_t, 40> p{};
    const auto set = [&](std::size_t parByte, uint8_t v) { p[parByte - 4] = v; };
    set(4, 40);    // "旋转 P"
    set(5, 4);     // 4 cells, start protection and stick arming on (item 0)
    set(6, 20);    // "旋转 I"
    set(7, 30);    // "横滚 I"
    set(9, 30);    // "垂直最大速度"
    set(12, 60);   // "油门 P"
    set(17, 20);   // "云台横滚感度"
    set(22, 50);   // "垂直增稳"
    set(23, 20);   // "云台俯仰感度"
    set(24, 80);   // "俯仰感度"
    set(25, 70);   // "姿态感度"
    set(26, 30);   // "俯仰 I"
    set(27, 226);  // "磁偏角" -3.0 degrees
    set(28, 25);   // "油门 I"
    set(32, 150);  // "最大速度" 6.0 m/s
    set(33, 10);   // "晃动补偿"
    set(34, 4);    // "飞机种类"
    set(38, 80);   // "横滚感度"
    set(42, 0x11); // control type 1, overload "普通"
    set(43, 0);
    return p;
}

std::array<uint8_t, 32> CSimAircraft::defaultCustomParameters()
{
    // Columns throttle, yaw, pitch, roll; M1..M4 a quad in X, M5..M8 unused. Signed percent.
    const int8_t table[4][8] = {
        {100, 100, 100, 100, 0, 0, 0, 0},
        {100, -100, 100, -100, 0, 0, 0, 0},
        {100, -100, -100, 100, 0, 0, 0, 0},
        {-100, 100, -100, 100, 0, 0, 0, 0},
    };
    std::array<uint8_t, 32> c{};
    for (int col = 0; col < 4; ++col)
        for (int m = 0; m < 8; ++m)
            c[col * 8 + m] = static_cast<uint8_t>(table[col][m]);
    return c;
}

std::array<uint8_t, 40> CSimAircraft::parameters() const
{
    std::array<uint8_t, 40> p = m_params;
    p[kCompassStateParByte - 4] = m_compassState;
    return p;
}

void CSimAircraft::setLinkActive(ESimLink link, bool active)
{
    (link == ESimLink::Serial ? m_serialActive : m_udpActive) = active;
}

void CSimAircraft::setTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second)
{
    m_timeOfDay[0] = hour;
    m_timeOfDay[1] = minute;
    m_timeOfDay[2] = second;
}

void CSimAircraft::setUtcTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second)
{
    m_utcTimeOfDay[0] = hour;
    m_utcTimeOfDay[1] = minute;
    m_utcTimeOfDay[2] = second;
}

void CSimAircraft::start(int64_t nowMs)
{
    m_startMs = m_modelMs = nowMs;
    m_nextRecordMs = nowMs;
    m_nextCompassMs = nowMs;
    m_nextNmeaMs = nowMs;
    m_started = true;
    m_demoTakeoffMs = m_config.demo ? nowMs + kDemoTakeoffDelayMs : -1;
}

int64_t CSimAircraft::nextDeadlineMs() const
{
    int64_t next = m_nextRecordMs;
    if (m_compassState != 0) next = std::min(next, m_nextCompassMs);
    if (m_config.nmea && m_serialActive) next = std::min(next, m_nextNmeaMs);
    next = std::min(next, m_heartbeat.deadlineMs());
    // The model itself wants a step now and then even when nothing is sent.
    return std::min(next, m_modelMs + 100);
}

void CSimAircraft::sendTo(ESimLink link, std::span<const uint8_t> sentence)
{
    if (!(link == ESimLink::Serial ? m_serialActive : m_udpActive)) return;
    ++m_counters.sentencesSent;
    m_out.send(link, sentence);
}

void CSimAircraft::sendAll(std::span<const uint8_t> sentence)
{
    sendTo(ESimLink::Serial, sentence);
    sendTo(ESimLink::Udp, sentence);
}

void CSimAircraft::advance(int64_t nowMs)
{
    if (!m_started) start(nowMs);
    while (m_modelMs + kStepMs <= nowMs) {
        m_modelMs += kStepMs;
        step(kStepMs / 1000.0);
    }
    if (m_demoTakeoffMs >= 0 && nowMs >= m_demoTakeoffMs) {
        // Once only, and only when the operator has not flown the aircraft in the meantime.
        m_demoTakeoffMs = -1;
        if (m_mode == kSimLanded) {
            m_targetAlt = kDemoTakeoffAltitudeM;
            commandCode(kCommandOpenRoute, ESimLink::Udp);
        }
    }
    if (m_heartbeat.checkLost(nowMs)) m_out.notice("ground station heartbeat lost: none for 3 s");
    if (nowMs >= m_nextRecordMs) {
        const auto stp = downlink::telemetry(telemetryRecord());
        if (m_serialActive) {
            sendTo(ESimLink::Serial, stp);
            ++m_counters.recordsSerial;
            ++m_counters.recordsSent;
        }
        if (m_udpActive) {
            sendTo(ESimLink::Udp, stp);
            ++m_counters.recordsUdp;
            ++m_counters.recordsSent;
        }
        m_nextRecordMs += m_recordPeriodMs;
        if (m_nextRecordMs <= nowMs) // fell behind (the process was held up): no burst
            m_nextRecordMs = nowMs + m_recordPeriodMs;
    }
    if (m_compassState != 0 && nowMs >= m_nextCompassMs) {
        sendCompassPoint();
        m_nextCompassMs += kCompassPointPeriodMs;
        if (m_nextCompassMs <= nowMs) // fell behind: no burst, the next one a period from now
            m_nextCompassMs = nowMs + kCompassPointPeriodMs;
    }
    if (m_config.nmea && nowMs >= m_nextNmeaMs) {
        if (m_satellites >= kGpsGoodSatellites)
            sendTo(ESimLink::Serial, downlink::gpgga(m_lat, m_lon, m_utcTimeOfDay[0], m_utcTimeOfDay[1],
                                                     m_utcTimeOfDay[2], m_satellites, m_alt));
        m_nextNmeaMs += kNmeaPeriodMs;
        if (m_nextNmeaMs <= nowMs)
            m_nextNmeaMs = nowMs + kNmeaPeriodMs;
    }
    if (!m_gpsAnnounced && m_satellites >= kGpsGoodSatellites) {
        m_gpsAnnounced = true;
        sendAll(downlink::acknowledgement(EAcknowledgement::SATEL));
    }
}

void CSimAircraft::sendCompassPoint()
{
    std::normal_distribution<float> noise(0.0f, 6.0f);
    m_compassAngle += 0.17 + std::uniform_real_distribution<double>(0, 0.1)(m_random);
    const float c = static_cast<float>(std::cos(m_compassAngle));
    const float s = static_cast<float>(std::sin(m_compassAngle));
    if (m_compassState == kCompassHorizontal) {
        sendAll(downlink::compassPoint(ECompassPlane::XY, kMagCentreX + kMagRadiusX * c + noise(m_random),
                                       kMagCentreY + kMagRadiusY * s + noise(m_random)));
    } else {
        // "$MG3" carries (y, z); the ground station plots (z, y).
        sendAll(downlink::compassPoint(ECompassPlane::ZY, kMagCentreY + kMagRadiusY * s + noise(m_random),
                                       kMagCentreZ + kMagRadiusZ * c + noise(m_random)));
    }
    if (++m_compassPoints % kCompassPointsPerEstimate == 0)
        sendTo(ESimLink::Udp,
               downlink::compassCalibration({kMagCentreX, kMagCentreY, kMagCentreZ, kMagRadiusX / kMagRadiusY,
                                             kMagRadiusX / kMagRadiusZ}));
}

void CSimAircraft::offsetMetres(double lat0, double lon0, double lat1, double lon1, double& north,
                                double& east)
{
    north = (lat1 - lat0) * kMetresPerDegree;
    east = (lon1 - lon0) * kMetresPerDegree * std::cos(lat0 * kRadPerDeg);
}

double CSimAircraft::cruiseSpeed() const
{
    return std::max(1.0, m_params[kMaxSpeedParByte - 4] * 0.04);
}

void CSimAircraft::climbTo(double alt, double rate, double dt)
{
    const double diff = alt - m_alt;
    const double stepM = std::clamp(diff, -rate * dt, rate * dt);
    m_alt += stepM;
    m_climb = stepM / dt;
}

bool CSimAircraft::flyTo(double lat, double lon, double dt)
{
    double north = 0, east = 0;
    offsetMetres(m_lat, m_lon, lat, lon, north, east);
    const double dist = std::hypot(north, east);
    if (dist < kArrivalRadiusM) {
        m_speed = std::max(0.0, m_speed - kAccelerationMps2 * dt);
        m_velN = m_velE = 0;
        m_roll *= 0.9;
        m_pitch *= 0.9;
        return true;
    }
    const double bearing = wrapAngle(std::atan2(east, north));
    double turn = std::remainder(bearing - m_heading, kTwoPi);
    const double maxTurn = kMaxTurnRateRadPerS * dt;
    turn = std::clamp(turn, -maxTurn, maxTurn);
    m_heading = wrapAngle(m_heading + turn);
    // Slow down for the arrival; speed up to cruise otherwise.
    const double wanted = std::min(cruiseSpeed(), std::sqrt(2 * kAccelerationMps2 * dist) * 0.8 + 0.5);
    if (m_speed < wanted)
        m_speed = std::min(wanted, m_speed + kAccelerationMps2 * dt);
    else
        m_speed = std::max(wanted, m_speed - 2 * kAccelerationMps2 * dt);
    const double travel = std::min(dist, m_speed * dt);
    m_velN = m_speed * north / dist;
    m_velE = m_speed * east / dist;
    m_lat += travel * (north / dist) / kMetresPerDegree;
    m_lon += travel * (east / dist) / (kMetresPerDegree * std::cos(m_lat * kRadPerDeg));
    m_pitch = -1.5 * m_speed;
    m_roll = std::clamp(turn / dt / kRadPerDeg * 0.4, -25.0, 25.0);
    if (m_photoSpacingM > 0 && m_mode == kSimRoute) {
        m_sincePhotoM += travel;
        if (m_sincePhotoM >= m_photoSpacingM) {
            m_sincePhotoM -= m_photoSpacingM;
            takePhoto();
        }
    }
    return false;
}

void CSimAircraft::hold(double dt)
{
    // Drift plausibly around the hold point: a random walk pulled back toward it.
    std::normal_distribution<double> gust(0.0, 0.25);
    const double pull = std::exp(-dt / 3.0);
    m_driftN = m_driftN * pull + gust(m_random) * std::sqrt(dt);
    m_driftE = m_driftE * pull + gust(m_random) * std::sqrt(dt);
    const double prevLat = m_lat, prevLon = m_lon;
    m_lat = m_holdLat + m_driftN / kMetresPerDegree;
    m_lon = m_holdLon + m_driftE / (kMetresPerDegree * std::cos(m_holdLat * kRadPerDeg));
    double north = 0, east = 0;
    offsetMetres(prevLat, prevLon, m_lat, m_lon, north, east);
    m_velN = north / dt;
    m_velE = east / dt;
    m_speed = std::max(0.0, m_speed - kAccelerationMps2 * dt);
    std::normal_distribution<double> wobble(0.0, 0.3);
    m_pitch = std::clamp(m_pitch * 0.9 + wobble(m_random), -3.0, 3.0);
    m_roll = std::clamp(m_roll * 0.9 + wobble(m_random), -3.0, 3.0);
}

void CSimAircraft::beginHover()
{
    m_mode = kSimHover;
    m_holdLat = m_lat;
    m_holdLon = m_lon;
    m_driftN = m_driftE = 0;
}

void CSimAircraft::beginRoute()
{
    if (m_storedCount == 0) return;
    if (m_target >= m_storedCount) m_target = 0;
    m_mode = kSimRoute;
    m_loiterLeft = 0;
}

void CSimAircraft::takePhoto()
{
    SPhotoReport r;
    r.pictureNumber = ++m_pictureNumber;
    r.longitude = static_cast<float>(m_lon);
    r.latitude = static_cast<float>(m_lat);
    r.integerField = m_target + 1;
    r.value19 = static_cast<float>(m_alt);
    r.value23 = static_cast<float>(m_speed);
    r.angleRadians = static_cast<float>(m_heading);
    r.value31 = static_cast<float>(m_pitch);
    ++m_counters.photosTaken;
    sendAll(downlink::photoReport(r));
}

void CSimAircraft::arriveAtWaypoint()
{
    const SSimWaypoint& w = m_waypoints[m_target];
    switch (w.photoMode) {
    case 0:
        m_photoSpacingM = 0;
        break;
    case 1:
    case 2:
        m_photoSpacingM = 20;
        m_sincePhotoM = 0;
        takePhoto();
        break;
    case 3:
        m_photoSpacingM = 40;
        m_sincePhotoM = 0;
        takePhoto();
        break;
    default:
        break; // keep whatever was going on
    }
    m_loiterLeft = (w.circleFlag == 1) ? w.circleTime : 0;
}

void CSimAircraft::nextWaypoint()
{
    m_target = static_cast<uint8_t>(m_target + 1);
    if (m_config.demo && m_target >= m_storedCount) m_target = 0;
}

void CSimAircraft::step(double dt)
{
    m_elapsedS += dt;
    // Satellites come in one by one after a second.
    if (m_satellites < 12 && m_elapsedS >= 1.0 + 0.4 * m_satellites) ++m_satellites;

    m_climb = 0;
    switch (m_mode) {
    case kSimLanded:
        m_speed = m_velN = m_velE = 0;
        m_pitch = m_roll = 0;
        m_alt = 0;
        break;
    case kSimTakingOff:
        hold(dt);
        climbTo(m_targetAlt, kClimbRateMps, dt);
        if (std::fabs(m_alt - m_targetAlt) < 0.05) {
            if (m_routeAfterTakeoff && m_storedCount > 0) {
                m_routeAfterTakeoff = false;
                beginRoute();
            } else {
                beginHover();
            }
        }
        break;
    case kSimHover:
        hold(dt);
        climbTo(m_targetAlt, kClimbRateMps, dt);
        break;
    case kSimRoute:
        flyRoute(dt);
        break;
    case kSimReturnHome:
        climbTo(m_targetAlt, kClimbRateMps, dt);
        if (flyTo(m_homeLat, m_homeLon, dt)) {
            m_mode = kSimLanding;
            m_holdLat = m_homeLat;
            m_holdLon = m_homeLon;
        }
        break;
    case kSimClickToFly:
        climbTo(m_targetAlt, kClimbRateMps, dt);
        if (flyTo(m_clickLat, m_clickLon, dt)) beginHover();
        break;
    case kSimLanding:
        hold(dt);
        climbTo(0, kLandingRateMps, dt);
        if (m_alt <= 0.01) {
            m_mode = kSimLanded;
            m_engineOn = false;
        }
        break;
    case kSimEngineOff:
        m_speed = std::max(0.0, m_speed - kAccelerationMps2 * dt);
        climbTo(0, kFallRateMps, dt);
        if (m_alt <= 0.01) m_mode = kSimLanded;
        break;
    default:
        m_mode = kSimLanded;
        break;
    }

    updatePower(dt);
}

// On a route: towards the target waypoint at its altitude, loitering where it asks, then the next;
// past the last stored waypoint the aircraft hovers.
void CSimAircraft::flyRoute(double dt)
{
    if (m_target >= m_storedCount || !m_waypoints[m_target].present) {
        beginHover();
        return;
    }
    const SSimWaypoint& w = m_waypoints[m_target];
    if (!std::isfinite(w.latitude) || !std::isfinite(w.longitude) || std::fabs(w.latitude) > 89 ||
        std::fabs(w.longitude) > 180) {
        // A waypoint that is nowhere on earth is passed over, as the last one ends the route.
        if (m_target + 1 >= m_storedCount && !m_config.demo)
            beginHover();
        else
            nextWaypoint();
        return;
    }
    climbTo(std::clamp<double>(w.altitudeMetres, 0, kMaxAltitudeM), kClimbRateMps, dt);
    if (m_loiterLeft > 0) {
        hold(dt);
        m_heading = wrapAngle(m_heading + 0.3 * dt);
        m_loiterLeft -= dt;
        if (m_loiterLeft <= 0) nextWaypoint();
        return;
    }
    if (flyTo(w.latitude, w.longitude, dt)) {
        m_holdLat = m_lat;
        m_holdLon = m_lon;
        arriveAtWaypoint();
        if (m_loiterLeft <= 0) nextWaypoint();
        if (m_target >= m_storedCount) {
            m_target = static_cast<uint8_t>(m_storedCount - 1);
            m_targetAlt = m_alt;
            m_photoSpacingM = 0;
            beginHover();
        }
    }
}

// Motors and current follow the work done; the consumed capacity adds up.
void CSimAircraft::updatePower(double dt)
{
    if (m_engineOn) {
        const double load = 110 + 12 * m_climb + 2 * m_speed;
        std::uniform_int_distribution<int> jitter(-3, 3);
        for (auto& m : m_motors)
            m = clampU8(load + jitter(m_random));
        m_current = 14 + 0.6 * m_speed + 3 * std::max(0.0, m_climb);
    } else {
        m_motors.fill(0);
        m_current = 0.4;
    }
    m_consumedMah += m_current * dt / 3.6;
}

CTelemetryRecord CSimAircraft::telemetryRecord() const
{
    CTelemetryRecord r;
    auto& b = r.bytes();
    r.setLatitude(static_cast<float>(m_lat));
    r.setLongitude(static_cast<float>(m_lon));
    bytes::writeF32(&b[20], static_cast<float>(m_heading));
    b[24] = static_cast<uint8_t>(m_satellites);
    r.setTime(m_timeOfDay[0], m_timeOfDay[1], m_timeOfDay[2]);
    b[31] = m_storedCount;
    const uint8_t throttleStick = m_engineOn ? 127 : 0;
    b[32] = 127;
    b[33] = 127;
    b[34] = 127;
    b[35] = throttleStick;
    b[36] = clampU8(127 + m_roll);
    b[37] = clampU8(127 - m_roll);
    b[38] = clampU8(127 + m_pitch);
    b[39] = m_motors[0];
    bytes::writeHighFirstU16(&b[40], static_cast<uint16_t>(clampI16(m_speed * 100)));
    bytes::writeU16(&b[42], kControllerSerial);
    b[44] = m_motors[0];
    double north = 0, east = 0;
    offsetMetres(m_homeLat, m_homeLon, m_lat, m_lon, north, east);
    const uint16_t distance = clampU16(std::hypot(north, east));
    b[46] = static_cast<uint8_t>(distance >> 8);
    b[52] = static_cast<uint8_t>(distance);
    b[47] = m_gimbalLockRadius;
    bytes::writeU16(&b[48], static_cast<uint16_t>(clampI16(m_alt * 10)));
    bytes::writeU16(&b[50], static_cast<uint16_t>(clampI16(m_velN * 100)));
    b[53] = m_receiverOn;
    b[54] = 5;
    b[56] = static_cast<uint8_t>(m_engineOn ? 20 + static_cast<int>(m_speed) : 0);
    const double rollR = m_roll * kRadPerDeg, pitchR = m_pitch * kRadPerDeg;
    bytes::writeU16(&b[58], static_cast<uint16_t>(clampI16(-1000 * std::sin(rollR) * std::cos(pitchR))));
    bytes::writeU16(&b[60], static_cast<uint16_t>(clampI16(1000 * std::sin(pitchR))));
    bytes::writeI32(&b[62], static_cast<int32_t>(std::lround(m_pitch)));
    bytes::writeI32(&b[66], static_cast<int32_t>(std::lround(m_roll)));
    // Four cells, 16.8 V full, sagging with the load and the charge used.
    const double volts = 16.8 - 0.0004 * m_consumedMah - 0.02 * m_current;
    bytes::writeU16(&b[70], clampU16(volts / 0.0048828125));
    bytes::writeU16(&b[72], static_cast<uint16_t>(clampI16(1000 * std::cos(rollR) * std::cos(pitchR))));
    b[74] = m_target;
    b[75] = reportedControlMode(static_cast<ESimMode>(m_mode));
    bytes::writeU16(&b[76], clampU16(m_consumedMah));
    const int16_t down = clampI16(-m_climb * 100);
    b[79] = static_cast<uint8_t>(static_cast<uint16_t>(down) >> 8);
    b[89] = static_cast<uint8_t>(down);
    b[80] = b[81] = b[82] = 127;
    b[83] = 0;
    b[93] = 0;
    bytes::writeU16(&b[84], clampU16(m_targetAlt * 10));
    b[86] = m_motors[1];
    b[87] = m_motors[2];
    b[88] = m_motors[3];
    b[90] = m_motors[4];
    b[91] = m_motors[5];
    b[92] = clampU8(m_current);
    bytes::writeU16(&b[94], static_cast<uint16_t>(clampI16(m_velE * 100)));
    bytes::writeU16(&b[96], kFirmwareVersion);
    r.updateChecksum();
    return r;
}

void CSimAircraft::commandCode(uint8_t code, ESimLink from)
{
    const bool airborne = m_mode != kSimLanded;
    switch (code) {
    case kCommandExitClickToFly:
        m_gimbalLockRadius = 0;
        if (m_mode == kSimClickToFly) beginHover();
        break;
    case kCommandHomePosition:
        m_homeLat = m_lat;
        m_homeLon = m_lon;
        break;
    case kCommandReturnHome:
        if (airborne && m_engineOn) m_mode = kSimReturnHome;
        break;
    case kCommandAutoTakeoff:
        if (!airborne) {
            m_engineOn = true;
            m_mode = kSimTakingOff;
            m_holdLat = m_lat;
            m_holdLon = m_lon;
            if (m_targetAlt < 2) m_targetAlt = kDefaultTakeoffAltitudeM;
        }
        break;
    case kCommandReceiverOn:
        m_receiverOn = 1;
        break;
    case kCommandReceiverOff:
        m_receiverOn = 0;
        break;
    case kCommandCaptureNeutral:
        sendTo(from, downlink::acknowledgement(EAcknowledgement::DOCAP));
        break;
    case kCommandCaptureRoll:
        sendTo(from, downlink::acknowledgement(EAcknowledgement::DOYMA));
        break;
    case kCommandCapturePitch:
        sendTo(from, downlink::acknowledgement(EAcknowledgement::DOYMM));
        break;
    case kCommandOpenRoute:
        m_routeOpen = true;
        if (m_storedCount == 0) break;
        if (!airborne) {
            m_routeAfterTakeoff = true;
            commandCode(kCommandAutoTakeoff, from);
        } else if (m_engineOn) {
            beginRoute();
        }
        break;
    case kCommandCloseRoute:
        m_routeOpen = false;
        m_routeAfterTakeoff = false;
        if (m_mode == kSimRoute) {
            m_targetAlt = m_alt;
            m_photoSpacingM = 0;
            beginHover();
        }
        break;
    case kCommandEngineOff:
        m_engineOn = false;
        m_routeAfterTakeoff = false;
        if (airborne) m_mode = kSimEngineOff;
        break;
    case kCommandCustomRequest:
        sendTo(from, downlink::customParameters(m_custom));
        break;
    default:
        break; // gyro zero, channel calibration, setup mode, arming: nothing to report
    }
}

void CSimAircraft::onUplink(const SUplinkFrame& f, ESimLink from, int64_t nowMs)
{
    ++m_counters.framesReceived;
    switch (f.kind) {
    case EUplinkKind::CommandCode:
        commandCode(f.code, from);
        break;
    case EUplinkKind::CommandCodeWithData:
        std::copy(f.data.begin(), f.data.end(), m_custom.begin() + (f.code - kCommandCustomColumn1) * 8);
        break;
    case EUplinkKind::TargetWaypoint:
        if (f.code >= 1 && f.code <= m_storedCount) {
            m_target = static_cast<uint8_t>(f.code - 1);
            m_loiterLeft = 0;
        }
        break;
    case EUplinkKind::Altitude:
        m_targetAlt = std::min(f.altitudeDecimetres / 10.0, kMaxAltitudeM);
        break;
    case EUplinkKind::ClickToFly:
        if (std::isfinite(f.a) && std::isfinite(f.b) && std::fabs(f.a) <= 90 && std::fabs(f.b) <= 180 &&
            m_mode != kSimLanded && m_engineOn) {
            m_clickLat = f.a;
            m_clickLon = f.b;
            m_mode = kSimClickToFly;
        }
        break;
    case EUplinkKind::GimbalLockPoint:
        m_gimbalLockRadius = 10;
        break;
    case EUplinkKind::CompassStep:
        if (f.code == kCompassHorizontal || f.code == kCompassVertical) {
            m_compassState = f.code;
            m_nextCompassMs = nowMs;
        } else if (f.code == kCompassSave) {
            if (m_compassState != 0)
                sendTo(ESimLink::Udp,
                       downlink::compassCalibration({kMagCentreX, kMagCentreY, kMagCentreZ,
                                                     kMagRadiusX / kMagRadiusY, kMagRadiusX / kMagRadiusZ}));
            m_compassState = 0;
        }
        break;
    case EUplinkKind::ParameterRequest:
        sendTo(from, downlink::parameterValues(parameters()));
        break;
    case EUplinkKind::ParameterWrite:
        for (std::size_t k = 0; k < kWritePositions.size(); ++k)
            m_params[kWritePositions[k] - 4] = f.values[k];
        sendTo(from, downlink::acknowledgement(EAcknowledgement::T2POK));
        break;
    case EUplinkKind::DefaultParameterReset:
        m_params = defaultParameters();
        break;
    case EUplinkKind::Waypoint: {
        if (f.number == 0) break;
        if (m_waypoints.size() < f.number) m_waypoints.resize(f.number);
        SSimWaypoint& w = m_waypoints[f.number - 1];
        w = {true, f.latitude, f.longitude, f.altitudeMetres, f.circleTime, f.circleFlag, f.photoMode};
        SWaypointEcho echo{f.number,    w.latitude,   w.longitude, w.altitudeMetres,
                           w.photoMode, w.circleFlag, w.circleTime};
        sendTo(from, downlink::waypointEcho(echo));
        break;
    }
    case EUplinkKind::WaypointCount:
        m_storedCount = f.code;
        if (m_waypoints.size() < m_storedCount) m_waypoints.resize(m_storedCount);
        // A new route: it is flown from its first waypoint, whatever the old one's target was.
        m_target = 0;
        break;
    case EUplinkKind::ReadbackRequest:
        for (uint8_t n = 1; n <= m_storedCount && n != 0; ++n) {
            const SSimWaypoint& w = m_waypoints[n - 1];
            if (!w.present) continue;
            sendTo(from, downlink::waypointEcho(SWaypointEcho{n, w.latitude, w.longitude, w.altitudeMetres,
                                                              w.photoMode, w.circleFlag, w.circleTime}));
        }
        break;
    case EUplinkKind::Heartbeat:
    case EUplinkKind::IdleHeartbeat:
        if (m_heartbeat.beat(nowMs)) m_out.notice("ground station heartbeat back");
        break;
    case EUplinkKind::AttitudeAlignment:
        // The ground station sends it five times in a row: one acknowledgement per burst.
        if (nowMs - m_lastAlignmentAckMs >= 2000) {
            m_lastAlignmentAckMs = nowMs;
            sendTo(from, downlink::acknowledgement(EAcknowledgement::STSAT));
        }
        break;
    }
}

} // namespace orvex
