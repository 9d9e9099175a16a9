#pragma once
// CEditWayPointDlg ("编辑航点"): the map's waypoint menu "编辑". Names the waypoint ("航点 #03")
// and shows its circle flag,
// photo mode, altitude and circle time; "确定" range-checks and stores them into the waypoint and
// closes with OK (the caller then updates the point on the map); "取消" changes nothing.

#include <QDialog>

#include "route/WayPoint.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class CEditWayPointDlg : public QDialog {
    Q_OBJECT
public:
    // `index` (0-based) names the waypoint; -1 names none.
    CEditWayPointDlg(CWayPoint& point, QWidget* parent = nullptr, int index = -1);

    QLabel* nameLabel() const { return m_name; }

    QComboBox* circleCombo() const { return m_circle; }
    QComboBox* photoCombo() const { return m_photo; }
    QLineEdit* altitudeEdit() const { return m_altitude; }
    QLineEdit* circleTimeEdit() const { return m_circleTime; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    // "确定": false (message shown, dialog open) when a field is out of range.
    bool store();

private:
    CWayPoint& m_point;
    QLabel* m_name = nullptr;
    QComboBox* m_circle = nullptr;
    QComboBox* m_photo = nullptr;
    QLineEdit* m_altitude = nullptr;
    QLineEdit* m_circleTime = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace orvex
