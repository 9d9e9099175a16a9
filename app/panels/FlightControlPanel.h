#pragma once
// CFlightControlPanel: the panel of the instrument bar. It shows the attitude indicator and the
// altimeter with their labels, the flight mode (a disabled combo box), the target waypoint and
// the altitude, the gimbal lock radius, and carries the operator's flight command buttons.
//
// The buttons' behaviour lives in CFlightCommands (core/panels/FlightCommands.h): questions go
// through askYesNo() of app/shell/MessageBox.h, frames leave through the ground station's
// "send on both links". The fly-to buttons take the point last picked on the map from the click
// point source and mark it on the map with setclickpttomap (through the ground station's window
// interface unless another marker is set).

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "panels/FlightCommands.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class CGroundStation;
class CInstrumentCtrl;

class CFlightControlPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 102;

    explicit CFlightControlPanel(CGroundStation& station, QWidget* parent = nullptr);
    ~CFlightControlPanel() override;

    // One telemetry record (99 bytes); anything of another length is ignored.
    void refresh(std::span<const std::uint8_t> record);
    int refreshCount() const { return m_refreshCount; }

    // Where the fly-to buttons get the point last picked on the map. Without a source (or when
    // it gives nothing) the buttons send nothing and say so.
    using ClickPointSource = std::function<std::optional<SFlyToPoint>()>;
    void setClickPointSource(ClickPointSource source) { m_clickPointSource = std::move(source); }
    // How the fly-to point is marked on the map (default: setclickpttomap through the ground
    // station's window interface).
    using ClickPointMarker = std::function<void(const SFlyToPoint&)>;
    void setClickPointMarker(ClickPointMarker marker) { m_clickPointMarker = std::move(marker); }

    // Box 1048 (read-only): the waypoint being flown and the count held.
    QLineEdit* targetWaypointBox() const { return m_targetBox; }
    QLineEdit* altitudeBox() const { return m_altitudeBox; }           // 1051
    QLineEdit* targetInput() const { return m_targetInput; }           // 1029, where Alt puts the focus
    QLineEdit* altitudeInput() const { return m_altitudeInput; }       // 1034
    QComboBox* flightModeCombo() const { return m_modeCombo; }         // 1011
    QLabel* attitudeLabel() const { return m_attitudeLabel; }          // 1081
    QLabel* altitudeLabel() const { return m_altitudeLabel; }          // 1080
    QLabel* statusLine() const { return m_statusLine; }                // 1200
    CInstrumentCtrl* attitudeInstrument() const { return m_attitude; } // 1078
    CInstrumentCtrl* altimeter() const { return m_altimeter; }         // 1075
    QPushButton* button(int controlId) const;

    // Presses a button as a click does (the result says what happened).
    EFlightCommandResult press(int controlId);

    // Stale (the link was closed or lost): instruments faded, values and labels greyed, the last
    // values kept; the buttons stay usable. The next refresh does not clear it: the owner does.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

  private:
    class CHost;
    CGroundStation& m_station;
    std::unique_ptr<CHost> m_host;
    std::unique_ptr<CFlightCommands> m_commands;
    ClickPointSource m_clickPointSource;
    ClickPointMarker m_clickPointMarker;

    CInstrumentCtrl* m_attitude = nullptr;
    CInstrumentCtrl* m_altimeter = nullptr;
    QLabel* m_attitudeLabel = nullptr;
    QLabel* m_altitudeLabel = nullptr;
    QComboBox* m_modeCombo = nullptr;
    QLineEdit* m_targetBox = nullptr;
    QLineEdit* m_targetInput = nullptr;
    QLineEdit* m_altitudeBox = nullptr;
    QLineEdit* m_altitudeInput = nullptr;
    QLabel* m_statusLine = nullptr;
    std::map<int, QPushButton*> m_buttons;
    int m_refreshCount = 0;
    bool m_stale = false;
};

} // namespace orvex
