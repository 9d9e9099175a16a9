#pragma once
// COtherDataPage: the "其他数据" page of the flight data bar (firmware, serial number, heading,
// attitude and static angles, current, consumed capacity, supply voltage).

#include <QWidget>

#include <cstdint>
#include <map>
#include <span>

namespace orvex {

class CValueBox;

class COtherDataPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 174;

    explicit COtherDataPage(QWidget* parent = nullptr);

    // One telemetry record (99 bytes); anything of another length is ignored. The "飞控序号"
    // box is written only for serial numbers above 10000 and otherwise keeps its text.
    void refresh(std::span<const std::uint8_t> record);
    // Every box keeps its text, greyed while stale.
    void setStale(bool stale);

    CValueBox* box(int controlId) const;
    int refreshCount() const { return m_refreshCount; }

  private:
    std::map<int, CValueBox*> m_boxes;
    int m_refreshCount = 0;
};

} // namespace orvex
