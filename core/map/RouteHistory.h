#pragma once
// Undo and redo of the route planned on the map. Both lists hold whole route snapshots and are
// unbounded; the working copy is the route as of the last snapshot.

#include <vector>

#include "route/SkyWay.h"

namespace orvex {

class CRouteHistory {
public:
    // Pushes the working copy onto the undo list; the working copy becomes `route`. The redo
    // list is kept.
    void snapshot(const CSkyWay& route);
    // Returns false (and changes nothing) when there is nothing to undo; otherwise `route` is
    // the restored snapshot and the caller redraws it.
    bool undo(CSkyWay& route);
    bool redo(CSkyWay& route);

    bool edited() const { return m_edited; }
    const CSkyWay& workingCopy() const { return m_working; }
    size_t undoCount() const { return m_undo.size(); }
    size_t redoCount() const { return m_redo.size(); }

private:
    CSkyWay m_working;
    std::vector<CSkyWay> m_undo;
    std::vector<CSkyWay> m_redo;
    bool m_edited = false;
};

} // namespace orvex
