#pragma once
// Undo and redo of the route. Every change of the route is one step: whoever changes the route
// records it (snapshot) right after the change. The working copy is the route as of the last
// snapshot. A new step clears the redo list, so that redo never brings back a route from before
// an edit. A change that was not recorded when undo or redo is asked for (a route loaded from a
// file, a pattern generated) is recorded first, so that no edit is ever dropped. Both lists are
// unbounded.

#include <vector>

#include "route/SkyWay.h"

namespace orvex {

class CRouteHistory {
public:
    // Records the route as it is now: when it differs from the working copy, the working copy
    // goes onto the undo list, becomes `route`, and the redo list is cleared. An unchanged route
    // makes no step; the upload's marks on the waypoints (sent, echoed) are no change.
    void snapshot(const CSkyWay& route);
    // Returns false when there is nothing to undo (or redo); otherwise `route` is the restored
    // state and the caller redraws it.
    bool undo(CSkyWay& route);
    bool redo(CSkyWay& route);

    // Set by undo and redo, cleared by a recorded step.
    bool edited() const { return m_edited; }
    const CSkyWay& workingCopy() const { return m_working; }
    size_t undoCount() const { return m_undo.size(); }
    size_t redoCount() const { return m_redo.size(); }

private:
    // Undo and redo: the route takes the last of `from`, and its present plan goes onto `to`.
    bool step(CSkyWay& route, std::vector<CSkyWay>& from, std::vector<CSkyWay>& to);
    CSkyWay m_working;
    std::vector<CSkyWay> m_undo;
    std::vector<CSkyWay> m_redo;
    bool m_edited = false;
};

} // namespace orvex
