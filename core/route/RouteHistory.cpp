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
    return step(route, m_undo, m_redo);
}

bool CRouteHistory::redo(CSkyWay& route)
{
    return step(route, m_redo, m_undo);
}

bool CRouteHistory::step(CSkyWay& route, std::vector<CSkyWay>& from, std::vector<CSkyWay>& to)
{
    snapshot(route); // an edit nobody recorded is kept before the route moves
    if (from.empty())
        return false;
    to.push_back(route);
    route.assignPoints(from.back());
    from.pop_back();
    m_working = route;
    m_edited = true;
    return true;
}

} // namespace orvex
