#pragma once
// Puts the three panels into the main frame and feeds them the telemetry records:
//   - the flight control panel into the instrument bar (right); its box 1048 becomes the box the
//     Alt key focuses;
//   - the flight data page and the other data page as the pages "飞行数据" and "其他数据" of the
//     flight data bar (bottom);
//   - every record of the telemetry notification (live or replayed) refreshes the flight control
//     panel and the page of the selected tab only. A page that becomes selected is refreshed at
//     once with the current record, once a record has been shown.
// The fly-to buttons take their point from `clickPointSource` (the map's click point); it can
// also be set later on the returned flight control panel.

#include <QObject>

#include "app/panels/FlightControlPanel.h"

namespace orvex {

class CMainFrame;
class CGroundStation;
class CFlightDataPage;
class COtherDataPage;

struct SPanelSet {
    CFlightControlPanel* control = nullptr;
    CFlightDataPage* flightData = nullptr;
    COtherDataPage* otherData = nullptr;
};

SPanelSet attachPanels(CMainFrame& frame, CGroundStation& station,
                       CFlightControlPanel::ClickPointSource clickPointSource = {});

} // namespace orvex
