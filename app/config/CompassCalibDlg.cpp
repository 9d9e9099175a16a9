#include "app/config/CompassCalibDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/panels/InstrumentCtrl.h"

namespace orvex {

CCompassCalibDlg::CCompassCalibDlg(CGroundStation& station, QWidget* parent) : QDialog(parent), m_station(station)
{
    setWindowTitle(QStringLiteral("校准磁罗盘"));
    auto* root = new QVBoxLayout(this);

    auto* buttons = new QHBoxLayout;
    m_horizontal = new QPushButton(QStringLiteral("水平校准"), this);
    m_vertical = new QPushButton(QStringLiteral("垂直校准"), this);
    m_save = new QPushButton(QStringLiteral("保存显示"), this);
    for (QPushButton* b : {m_horizontal, m_vertical, m_save}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root->addLayout(buttons);

    m_status = new QLineEdit(this);
    m_status->setReadOnly(true);
    root->addWidget(m_status);

    m_plot = new CInstrumentCtrl(EInstrumentKind::CalibrationPlot, this);
    m_plot->setFixedSize(kPlotWidthPx, kPlotHeightPx);
    root->addWidget(m_plot);

    connect(m_horizontal, &QPushButton::clicked, this, [this] { step(kCompassHorizontal); });
    connect(m_vertical, &QPushButton::clicked, this, [this] { step(kCompassVertical); });
    connect(m_save, &QPushButton::clicked, this, [this] { step(kCompassSave); });

    compassPlotChanged(); // the points of earlier calibrations of this run
    m_station.configDialogs().setCompassView(this);
}

CCompassCalibDlg::~CCompassCalibDlg()
{
    if (m_station.configDialogs().compassView() == this)
        m_station.configDialogs().setCompassView(nullptr);
}

void CCompassCalibDlg::showCompassStatus(const std::string& text)
{
    m_status->setText(QString::fromStdString(text));
}

void CCompassCalibDlg::compassPlotChanged()
{
    const CCompassCalibration& c = m_station.configDialogs().compass();
    m_plot->setCalibrationValues(c.values());
    m_plot->setCalibrationPoints(c.xyPoints(), c.zyPoints());
}

void CCompassCalibDlg::step(uint8_t code)
{
    const YesNoQuestion ask = [this](std::string_view q, bool defaultYes) {
        return askYesNoWithoutIcon(this, QString::fromUtf8(q.data(), static_cast<qsizetype>(q.size())), {}, defaultYes);
    };
    if (!confirmWhileAirborne(m_station.airborne(), ask))
        return;
    m_station.uplink().sendOnBothLinks(uplink::compassStep(code));
    QTimer::singleShot(kCompassRequestDelayMs, this,
                       [this] { m_station.uplink().sendOnBothLinks(uplink::parameterRequest()); });
}

} // namespace orvex
