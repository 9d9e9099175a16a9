#pragma once
// The port configuration dialog of the serial port page: baud rate, data bits, parity, stop bits,
// flow control and DTR of the 52-byte configuration record (CComConfig). The record changes only
// when the operator confirms with "确定".

#include <QDialog>

#include "link/ComConfig.h"

class QCheckBox;
class QComboBox;

namespace orvex {

class CPortConfigDlg : public QDialog {
    Q_OBJECT
public:
    CPortConfigDlg(const QString& portName, const CComConfig& config, QWidget* parent = nullptr);

    // The record with the dialog's values (the bytes the dialog does not show are kept).
    CComConfig config() const;

    QComboBox* baudBox() const { return m_baud; }
    QComboBox* dataBitsBox() const { return m_dataBits; }
    QComboBox* parityBox() const { return m_parity; }
    QComboBox* stopBitsBox() const { return m_stopBits; }
    QComboBox* flowBox() const { return m_flow; }
    QCheckBox* dtrBox() const { return m_dtr; }

    void accept() override;

private:
    CComConfig m_config;
    QComboBox* m_baud = nullptr;
    QComboBox* m_dataBits = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_flow = nullptr;
    QCheckBox* m_dtr = nullptr;
};

} // namespace orvex
