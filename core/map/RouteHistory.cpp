#include "map/RouteHistory.h"

namespace orvex {

void CRouteHistory::snapshot(const CSkyWay& route)
{
    m_undo.push_back(m_working);
    m_working = route;
    m_edited = false;
}

bool CRouteHistory::undo(CSkyWay& route)
{
    if (m_undo.empty())
        return false;
    CSkyWay restored = std::move(m_undo.back());
    m_undo.pop_back();
    m_redo.push_back(route);
    route.assignPoints(restored);
    m_working = route;
    m_edited = true;
    return true;
}

bool CRouteHistory::redo(CSkyWay& route)
{
    if (m_redo.empty())
        return false;
    CSkyWay restored = std::move(m_redo.back());
    m_redo.pop_back();
    snapshot(route);
    route.assignPoints(restored);
    m_working = route;
    m_edited = true;
    return true;
}

} // namespace orvex
