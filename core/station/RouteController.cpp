#include "station/RouteController.h"

#include "base/Settings.h"
#include "route/RouteFile.h"

namespace orvex {

CRouteController::CRouteController(const CSettings& settings, IMapScript& map, CRouteHooks hooks)
    : m_settings(settings), m_hooks(std::move(hooks)), m_script(map),
      m_upload(
          m_route,
          [this](std::span<const uint8_t> frame) {
              if (m_hooks.send)
                  m_hooks.send(frame);
          },
          [this](int index, int state) { m_script.setSkyWayPTcolor(index, state); })
{
}

CWayPointDefaults CRouteController::wayPointDefaults() const
{
    return CWayPointDefaults::fromSettings(m_settings);
}

CWayPoint CRouteController::newWayPoint() const
{
    return CWayPoint::makeNew(wayPointDefaults());
}

void CRouteController::redraw()
{
    m_script.redrawRoute(m_route);
}

bool CRouteController::loadCommand(const std::optional<std::string>& chosenPath)
{
    bool loaded = false;
    if (chosenPath) {
        loaded = loadRouteInto(*chosenPath, m_route, wayPointDefaults());
        if (!loaded && m_hooks.message)
            m_hooks.message(kRouteLoadFailedText);
    }
    redraw();
    if (!m_route.empty())
        m_script.setpttomap(m_route[0].latitude, m_route[0].longitude);
    return loaded;
}

bool CRouteController::saveCommand(const std::optional<std::string>& chosenPath)
{
    if (chosenPath && !writeRouteFile(*chosenPath, m_route)) {
        if (m_hooks.message)
            m_hooks.message(kRouteSaveFailedText);
        return false;
    }
    if (m_hooks.setSaved)
        m_hooks.setSaved(true);
    return chosenPath.has_value();
}

void CRouteController::deleteCommand()
{
    m_route.clear();
    redraw();
    if (m_hooks.setSaved)
        m_hooks.setSaved(true);
}

bool CRouteController::startUpload()
{
    if (const auto refusal = m_upload.start()) {
        if (m_hooks.message)
            m_hooks.message(*refusal);
        return false;
    }
    return m_upload.active();
}

void CRouteController::uploadSingleWaypoint(size_t index)
{
    if (const auto refusal = m_upload.sendSingleWaypoint(index); refusal && m_hooks.message)
        m_hooks.message(*refusal);
}

void CRouteController::uploadTick(int storedWaypointCount)
{
    if (const auto done = m_upload.tick(storedWaypointCount); done && m_hooks.status)
        m_hooks.status(*done);
}

bool CRouteController::verifyCommand()
{
    return m_upload.requestVerification(m_hooks.ensureLinkOpen);
}

void CRouteController::onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink)
{
    m_upload.onEcho(echo);
}

} // namespace orvex
