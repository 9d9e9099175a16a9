#pragma once
// CCompassCalibDlg ("校准磁罗盘"): the interactive compass calibration.
//
//   "水平校准" / "垂直校准" / "保存显示" send the compass step 87 / 88 / 89 and, 500 ms later
//   (a timer: points keep arriving and being drawn meanwhile), the parameter request, whose "$PAR"
//   answer carries the new calibration state.
//
// While the dialog is open (the compass dialog's open flag): the status edit shows the state of a
// "$PAR" ("水平校准模式", "垂直校准模式", "保存成功" or nothing) and, after every point frame,
// "XY=%d  ZY=%d"; the plot below (the instrument control's kind 100) shows every point of the run
// so far with the calibration values, and is repainted as each point arrives. The points and
// values are CGroundStation's (CCompassCalibration) and survive the dialog.

#include <QDialog>

#include <cstdint>

#include "config/ConfigDialogs.h"

class QLineEdit;
class QPushButton;

namespace orvex {

class CGroundStation;
class CInstrumentCtrl;

class CCompassCalibDlg : public QDialog, public ICompassDialogView {
    Q_OBJECT
public:
    static constexpr int kDialogId = 190;
    static constexpr int kPlotWidthPx = 400;
    static constexpr int kPlotHeightPx = 300;

    explicit CCompassCalibDlg(CGroundStation& station, QWidget* parent = nullptr);
    ~CCompassCalibDlg() override;

    QPushButton* horizontalButton() const { return m_horizontal; }
    QPushButton* verticalButton() const { return m_vertical; }
    QPushButton* saveButton() const { return m_save; }
    QLineEdit* statusEdit() const { return m_status; }
    CInstrumentCtrl* plot() const { return m_plot; }

    // ICompassDialogView
    void showCompassStatus(const std::string& text) override;
    void compassPlotChanged() override;

    // Sends the compass step and, kCompassRequestDelayMs later, the parameter request.
    void step(uint8_t code);

private:
    CGroundStation& m_station;
    QPushButton* m_horizontal = nullptr;
    QPushButton* m_vertical = nullptr;
    QPushButton* m_save = nullptr;
    QLineEdit* m_status = nullptr;
    CInstrumentCtrl* m_plot = nullptr;
};

} // namespace orvex
