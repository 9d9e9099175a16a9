#pragma once
// CFlightDataPage: the "飞行数据" page of the flight data bar (position, satellites, velocities,
// sway and vibration, the receiver, and the commanded "手工舵位" and actual "实际舵位" servo
// positions), a table of boxes (see DataPage.h).

#include "app/panels/DataPage.h"

namespace orvex {

class CFlightDataPage : public CDataPage {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 101;

    explicit CFlightDataPage(QWidget* parent = nullptr);

  private:
    std::vector<std::pair<int, CPanelBox>> values(PanelRecordBytes record) const override;
};

} // namespace orvex
