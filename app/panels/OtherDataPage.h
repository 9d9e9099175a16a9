#pragma once
// COtherDataPage: the "其他数据" page of the flight data bar (firmware, serial number, heading,
// attitude and static angles, current, consumed capacity, supply voltage), a table of boxes (see
// DataPage.h). The "飞控序号" box is written only for serial numbers above 10000 and otherwise
// keeps its text.

#include "app/panels/DataPage.h"

namespace orvex {

class COtherDataPage : public CDataPage {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 174;

    explicit COtherDataPage(QWidget* parent = nullptr);

  private:
    std::vector<std::pair<int, CPanelBox>> values(PanelRecordBytes record) const override;
};

} // namespace orvex
