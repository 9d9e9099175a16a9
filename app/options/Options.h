#pragma once
// The options sheet COptions ("选项") with its two pages, in order: the serial port page
// COptComDlg ("串口设置") and the waypoint defaults page COptWayPoint ("高度设置").
//
// "确定" applies every page and closes, "应用(&A)" applies without closing, "取消" closes. A page
// that refuses its values (a number out of range) keeps the sheet open with that page shown and
// the focus in the field. The settings take effect the next time the serial link is opened; after
// the waypoint page applies, the ground station re-reads WayPoint/FenPin and WayPoint/AltitudeGPS.

#include <QDialog>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "options/PortChoice.h"
#include "options/WayPointOptionValues.h"

class QComboBox;
class QGroupBox;
class QPushButton;
class QTabWidget;

namespace orvex {

class CGroundStation;
class CComConfig;
class CSettings;

// The ports of the machine in the platform's order (QSerialPortInfo unless a test injects them).
using PortEnumerator = std::function<std::vector<SSerialPortEntry>()>;
std::vector<SSerialPortEntry> systemSerialPorts();

// The port configuration step of "配置": given the port name and the record, returns the
// confirmed record or nothing on cancel. The default opens CPortConfigDlg.
using PortConfigurator = std::function<std::optional<CComConfig>(QWidget* parent, const QString& port, const CComConfig&)>;

class COptComDlg : public QWidget {
    Q_OBJECT
public:
    COptComDlg(CSettings& settings, PortEnumerator enumerate = systemSerialPorts, QWidget* parent = nullptr);

    void setConfigurator(PortConfigurator configurator) { m_configurator = std::move(configurator); }
    // "配置": edits the configuration record of the selected port; stores it under COMCONF on OK.
    void configure();
    // Stores the selected or typed port under COMPORT (when there is one).
    bool apply();

    QComboBox* portBox() const { return m_portBox; }
    QPushButton* configureButton() const { return m_configure; }
    const CPortChoice& choice() const { return m_choice; }

signals:
    void changed();

private:
    CSettings& m_settings;
    CPortChoice m_choice;
    QComboBox* m_portBox = nullptr;
    QPushButton* m_configure = nullptr;
    PortConfigurator m_configurator;
};

class COptWayPoint : public QWidget {
    Q_OBJECT
public:
    COptWayPoint(CSettings& settings, QWidget* parent = nullptr);

    // Validates the fields; on a value out of range shows the message and puts the focus there.
    // Writes all ten keys and returns true when every value is accepted.
    bool apply();

    QLineEdit* field(EWayPointField f) const;
    QComboBox* fenPinBox() const { return m_fenPin; }
    QGroupBox* hiddenGroup() const { return m_hidden; }

signals:
    void changed();

private:
    // Reads the fields; shows the message of the first field that is not an acceptable integer.
    bool readFields(CWayPointOptionValues& out);

    CSettings& m_settings;
    std::vector<QLineEdit*> m_fields; // by EWayPointField, FenPin excluded
    QComboBox* m_fenPin = nullptr;
    QGroupBox* m_hidden = nullptr;
};

class COptions : public QDialog {
    Q_OBJECT
public:
    COptions(CGroundStation& station, PortEnumerator enumerate = systemSerialPorts, QWidget* parent = nullptr);

    COptComDlg* comPage() const { return m_comPage; }
    COptWayPoint* wayPointPage() const { return m_wayPointPage; }
    QTabWidget* tabs() const { return m_tabs; }
    QPushButton* applyButton() const { return m_apply; }

    // Applies every page; false when a page refused its values.
    bool applyAll();
    void accept() override;

private:
    CGroundStation& m_station;
    QTabWidget* m_tabs = nullptr;
    COptComDlg* m_comPage = nullptr;
    COptWayPoint* m_wayPointPage = nullptr;
    QPushButton* m_apply = nullptr;
};

} // namespace orvex
