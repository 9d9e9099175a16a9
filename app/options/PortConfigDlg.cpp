#include "app/options/PortConfigDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell/MessageBox.h"
#include "options/PortChoice.h"

namespace orvex {

CPortConfigDlg::CPortConfigDlg(const QString& portName, const CComConfig& config, QWidget* parent)
    : QDialog(parent), m_config(config)
{
    setObjectName(QStringLiteral("CPortConfigDlg"));
    setWindowTitle(QStringLiteral("%1 属性").arg(portName));

    m_baud = new QComboBox(this);
    m_baud->setEditable(true);
    for (unsigned rate : standardBaudRates())
        m_baud->addItem(QString::number(rate));
    m_baud->setValidator(new QIntValidator(1, 4000000, m_baud));
    m_baud->setCurrentText(QString::number(m_config.baudRate()));

    m_dataBits = new QComboBox(this);
    for (int bits = 5; bits <= 8; ++bits)
        m_dataBits->addItem(QString::number(bits), bits);
    m_dataBits->setCurrentIndex(std::max(0, m_dataBits->findData(int(m_config.byteSize()))));

    m_parity = new QComboBox(this);
    m_parity->addItem(QStringLiteral("无"), int(EParity::None));
    m_parity->addItem(QStringLiteral("奇"), int(EParity::Odd));
    m_parity->addItem(QStringLiteral("偶"), int(EParity::Even));
    m_parity->addItem(QStringLiteral("标记"), int(EParity::Mark));
    m_parity->addItem(QStringLiteral("空格"), int(EParity::Space));
    m_parity->setCurrentIndex(std::max(0, m_parity->findData(int(m_config.parity()))));

    m_stopBits = new QComboBox(this);
    m_stopBits->addItem(QStringLiteral("1"), int(EStopBits::One));
    m_stopBits->addItem(QStringLiteral("1.5"), int(EStopBits::OneAndHalf));
    m_stopBits->addItem(QStringLiteral("2"), int(EStopBits::Two));
    m_stopBits->setCurrentIndex(std::max(0, m_stopBits->findData(int(m_config.stopBits()))));

    m_flow = new QComboBox(this);
    m_flow->addItem(QStringLiteral("无"), int(EFlowControl::None));
    m_flow->addItem(QStringLiteral("硬件"), int(EFlowControl::Hardware));
    m_flow->addItem(QStringLiteral("Xon / Xoff"), int(EFlowControl::Software));
    m_flow->setCurrentIndex(std::max(0, m_flow->findData(int(m_config.flowControl()))));

    m_dtr = new QCheckBox(QStringLiteral("DTR 有效"), this);
    m_dtr->setChecked(m_config.dtrControl() != EDtrControl::Disable);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("每秒位数(&B):"), m_baud);
    form->addRow(QStringLiteral("数据位(&D):"), m_dataBits);
    form->addRow(QStringLiteral("奇偶校验(&P):"), m_parity);
    form->addRow(QStringLiteral("停止位(&S):"), m_stopBits);
    form->addRow(QStringLiteral("流控制(&F):"), m_flow);
    form->addRow(QString(), m_dtr);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &CPortConfigDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

CComConfig CPortConfigDlg::config() const
{
    CComConfig c = m_config;
    c.setBaudRate(m_baud->currentText().toUInt());
    c.setByteSize(static_cast<std::uint8_t>(m_dataBits->currentData().toInt()));
    c.setParity(static_cast<EParity>(m_parity->currentData().toInt()));
    c.setStopBits(static_cast<EStopBits>(m_stopBits->currentData().toInt()));
    // Flow control and DTR are written only when changed, so that settings this dialog cannot show
    // (DSR flow, DTR handshaking ...) survive a confirmation without changes.
    const auto flow = static_cast<EFlowControl>(m_flow->currentData().toInt());
    if (flow != m_config.flowControl())
        c.setFlowControl(flow);
    if (m_dtr->isChecked() != (m_config.dtrControl() != EDtrControl::Disable))
        c.setDtrControl(m_dtr->isChecked() ? EDtrControl::Enable : EDtrControl::Disable);
    return c;
}

void CPortConfigDlg::accept()
{
    const CComConfig c = config();
    if (!isStandardBaudRate(c.baudRate())) {
        messageBox(this, QString::fromUtf8(kNonStandardBaudText));
        m_baud->setFocus();
        return;
    }
    m_config = c;
    QDialog::accept();
}

} // namespace orvex
