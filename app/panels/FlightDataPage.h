#pragma once
// CFlightDataPage: the "飞行数据" page of the flight data bar (position, satellites, velocities,
// sway and vibration, the receiver, and the commanded "手工舵位" and actual "实际舵位" servo
// positions). refresh() writes every box from one telemetry record.

#include <QWidget>

#include <cstdint>
#include <map>
#include <span>

namespace orvex {

class CValueBox;

class CFlightDataPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 101;

    explicit CFlightDataPage(QWidget* parent = nullptr);

    // One telemetry record (99 bytes); anything of another length is ignored.
    void refresh(std::span<const std::uint8_t> record);
    // Every box keeps its text, greyed while stale.
    void setStale(bool stale);

    // The value box with the control id (1023 take-off distance, 1042 satellites ...), or nullptr.
    CValueBox* box(int controlId) const;
    int refreshCount() const { return m_refreshCount; }

  private:
    std::map<int, CValueBox*> m_boxes;
    int m_refreshCount = 0;
};

} // namespace orvex
