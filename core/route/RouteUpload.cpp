#include "route/RouteUpload.h"

#include <algorithm>
#include <cmath>

#include "protocol/Uplink.h"

namespace orvex {

std::string uploadDoneText(size_t waypointCount)
{
    return "航线上传完成：" + std::to_string(waypointCount) + " 个航点";
}

CRouteUpload::CRouteUpload(CSkyWay& route, FrameSender send, PointColour colour)
    : m_route(route), m_send(std::move(send)), m_colour(std::move(colour))
{
}

std::vector<uint8_t> CRouteUpload::waypointFrame(const CWayPoint& w, size_t index)
{
    return uplink::waypoint(static_cast<uint8_t>(index + 1), narrowToFloat(w.latitude),
                            narrowToFloat(w.longitude), w.altitude, w.circleTime, w.circleFlag,
                            static_cast<uint8_t>(w.photoMode));
}

std::optional<std::string> CRouteUpload::start()
{
    if (m_route.empty())
        return std::nullopt;
    if (m_route.size() > kMaxUploadWaypoints)
        return std::string(kUploadTooManyText);
    for (CWayPoint& w : m_route) {
        w.uploadState = kUploadPending;
        w.uploadWait = 0;
    }
    m_readBack.clear();
    m_route.forceFirstWaypointCircle();
    m_phase = kUploadPhaseSending;
    return std::nullopt;
}

std::optional<std::string> CRouteUpload::tick(int reportedWaypointCount)
{
    if (m_phase == kUploadPhaseIdle) {
        if (m_readBack.empty())
            return std::nullopt;
        if (m_readBack.size() != m_route.size()) {
            m_readBack.clear(); // the route changed under the read-back
            return std::nullopt;
        }
        if (reportedWaypointCount != m_route.count() ||
            !std::all_of(m_readBack.begin(), m_readBack.end(), [](bool echoed) { return echoed; }))
            return std::nullopt;
        m_readBack.clear();
        return uploadDoneText(m_route.size());
    }
    if (m_route.empty()) {
        m_phase = kUploadPhaseFinishing;
        if (reportedWaypointCount != 0) {
            if (m_send)
                m_send(uplink::waypointCount(0));
            return std::nullopt;
        }
        m_phase = kUploadPhaseIdle;
        return std::nullopt;
    }
    if (m_route.size() > kMaxUploadWaypoints) {
        // The route grew beyond what can be numbered while uploading: stop rather than wrap.
        m_phase = kUploadPhaseIdle;
        return std::nullopt;
    }
    size_t acknowledged = 0;
    bool sent = false;
    for (size_t i = 0; i < m_route.size(); ++i) {
        CWayPoint& w = m_route[i];
        if (w.uploadState == kUploadSentWaiting) {
            w.uploadWait += 1;
            if (w.uploadWait > kUploadResendAfterTicks)
                w.uploadState = kUploadPending;
        }
        if (w.uploadState == kUploadPending) {
            w.uploadState = kUploadSentWaiting;
            w.uploadWait = 0;
            if (m_send)
                m_send(waypointFrame(w, i));
            sent = true;
            break;
        }
        if (w.uploadState == kUploadAcknowledged)
            ++acknowledged;
    }
    if (sent || acknowledged < m_route.size())
        return std::nullopt;
    m_phase = kUploadPhaseFinishing;
    if (reportedWaypointCount != m_route.count()) {
        if (m_send)
            m_send(uplink::waypointCount(static_cast<uint8_t>(m_route.size())));
        return std::nullopt;
    }
    m_phase = kUploadPhaseIdle;
    m_readBack.clear();
    return uploadDoneText(m_route.size());
}

bool CRouteUpload::echoMatches(const CWayPoint& w, const SWaypointEcho& echo)
{
    const double bound = static_cast<double>(kEchoPositionTolerance);
    return std::fabs(w.latitude - static_cast<double>(echo.latitude)) < bound &&
           std::fabs(w.longitude - static_cast<double>(echo.longitude)) < bound && w.altitude == echo.altitude &&
           w.photoMode == echo.photoMode && w.circleFlag == echo.circleFlag && w.circleTime == echo.circleTime;
}

bool CRouteUpload::onEcho(const SWaypointEcho& echo)
{
    const size_t n = echo.number;
    if (n < 1 || n > m_route.size())
        return false;
    CWayPoint& w = m_route[n - 1];
    if (!echoMatches(w, echo))
        return false;
    w.verified = 1;
    w.uploadState = kUploadAcknowledged;
    if (n <= m_readBack.size())
        m_readBack[n - 1] = true;
    if (m_colour)
        m_colour(static_cast<int>(n - 1), 1);
    return true;
}

std::optional<std::string> CRouteUpload::sendSingleWaypoint(size_t index)
{
    if (index >= m_route.size())
        return std::nullopt;
    if (index >= kMaxUploadWaypoints)
        return std::string(kUploadTooManyText);
    const std::vector<uint8_t> frame = waypointFrame(m_route[index], index);
    for (int i = 0; i < kSingleWaypointRepeats; ++i)
        if (m_send)
            m_send(frame);
    return std::nullopt;
}

bool CRouteUpload::requestVerification(const std::function<bool()>& ensureLinkOpen)
{
    if (ensureLinkOpen && !ensureLinkOpen())
        return false;
    if (m_send)
        m_send(uplink::readbackRequest());
    m_readBack.assign(m_route.size(), false);
    return true;
}

void CRouteUpload::eraseMarks()
{
    m_readBack.clear();
    for (size_t i = 0; i < m_route.size(); ++i) {
        m_route[i].verified = 0;
        m_route[i].uploadState = kUploadIdle;
        if (m_colour)
            m_colour(static_cast<int>(i), 0);
    }
}

} // namespace orvex
