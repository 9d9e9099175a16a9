#include "route/RouteHistory.h"

namespace orvex {

namespace {

// The route as planned: the upload's marks on the waypoints (sent, echoed) are no edit.
bool samePlan(const CSkyWay& a, const CSkyWay& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        CWayPoint x = a[i];
        x.verified = b[i].verified;
        x.uploadState = b[i].uploadState;
        x.uploadWait = b[i].uploadWait;
        if (!(x == b[i]))
            return false;
    }
    return true;
}

} // namespace

void CRouteHistory::snapshot(const CSkyWay& route)
{
    if (samePlan(route, m_working))
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
