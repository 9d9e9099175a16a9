#include "map/RouteHistory.h"

namespace orvex {

void CRouteHistory::snapshot(const CSkyWay& route)
{
    if (route.points() == m_working.points())
        return;
    m_undo.push_back(m_working);
    m_working = route;
    m_redo.clear();
    m_edited = false;
}

bool CRouteHistory::undo(CSkyWay& route)
{
    snapshot(route);
    if (m_undo.empty())
        return false;
    m_redo.push_back(route);
    route.assignPoints(m_undo.back());
    m_undo.pop_back();
    m_working = route;
    m_edited = true;
    return true;
}

bool CRouteHistory::redo(CSkyWay& route)
{
    snapshot(route);
    if (m_redo.empty())
        return false;
    m_undo.push_back(route);
    route.assignPoints(m_redo.back());
    m_redo.pop_back();
    m_working = route;
    m_edited = true;
    return true;
}

} // namespace orvex
