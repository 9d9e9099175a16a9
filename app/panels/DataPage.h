#pragma once
// CDataPage: a page of the flight data bar laid out and filled from a table. Each row is one box:
// its control id, its label, where it sits (a group and a grid cell) and the widest text it shows.
// A page names its rows and how one telemetry record gives their values; the layout, the refresh,
// the stale look and the box lookup are the same for every page. The two pages are
// CFlightDataPage ("飞行数据") and COtherDataPage ("其他数据").

#include <QWidget>

#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "panels/PanelTexts.h"

namespace orvex {

class CValueBox;

class CDataPage : public QWidget {
    Q_OBJECT
  public:
    struct SBox {
        int id;
        const char* label;
        int group; // 0: the page's own grid; 1, 2 ...: the group boxes, titled in order
        int row;
        int col;
        const char* sample; // the widest text the box shows
    };

    // One telemetry record (99 bytes); anything of another length is ignored.
    void refresh(std::span<const std::uint8_t> record);
    // Every box keeps its text, greyed while stale.
    void setStale(bool stale);

    // The value box with the control id, or nullptr.
    CValueBox* box(int controlId) const;
    int refreshCount() const { return m_refreshCount; }

  protected:
    // Without group titles the page's grid sits in the middle of the bar.
    CDataPage(const char* objectName, std::span<const SBox> boxes, std::span<const char* const> groupTitles,
              QWidget* parent);
    // The boxes' values for one record; a box that is not listed keeps its text.
    virtual std::vector<std::pair<int, CPanelBox>> values(PanelRecordBytes record) const = 0;

  private:
    std::map<int, CValueBox*> m_boxes;
    int m_refreshCount = 0;
};

} // namespace orvex
