#include "app/route/EditWayPointDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/route/FieldCheck.h"
#include "app/route/NumericKeyFilter.h"
#include "route/RouteEditing.h"

namespace orvex {

CEditWayPointDlg::CEditWayPointDlg(CWayPoint& point, QWidget* parent, int index) : QDialog(parent), m_point(point)
{
    setWindowTitle(QStringLiteral("编辑航点"));
    setModal(true);
    m_name = new QLabel(index >= 0 ? QStringLiteral("航点 #%1").arg(index + 1, 2, 10, QLatin1Char('0')) : QString(), this);
    m_name->setVisible(index >= 0);

    m_circle = new QComboBox(this);
    for (const char* t : kCircleItems)
        m_circle->addItem(QString::fromUtf8(t));
    m_photo = new QComboBox(this);
    for (const char* t : kPhotoModeItems)
        m_photo->addItem(QString::fromUtf8(t));
    m_altitude = new QLineEdit(this);
    m_circleTime = new QLineEdit(this);
    for (QLineEdit* e : {m_altitude, m_circleTime})
        CNumericKeyFilter::install(e, false);

    m_circle->setCurrentIndex(point.circles() ? 1 : 0);
    m_photo->setCurrentIndex(photoModeItem(point.photoMode));
    m_altitude->setText(QString::number(point.altitude));
    m_circleTime->setText(QString::number(point.circleTime));

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("是否盘旋"), this), 0, 0);
    form->addWidget(m_circle, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("开始拍照"), this), 1, 0);
    form->addWidget(m_photo, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("高度"), this), 2, 0);
    form->addWidget(m_altitude, 2, 1);
    form->addWidget(new QLabel(QStringLiteral("盘旋时间(秒)"), this), 3, 0);
    form->addWidget(m_circleTime, 3, 1);

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (store())
            accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

bool CEditWayPointDlg::store()
{
    int altitude = 0;
    int circleTime = 0;
    if (!readIntField(this, m_altitude, kAltitudeFieldMin, kAltitudeFieldMax, altitude) ||
        !readIntField(this, m_circleTime, kCircleTimeFieldMin, kCircleTimeFieldMax, circleTime))
        return false;
    applyEditWayPoint(m_point, altitude, m_photo->currentIndex(), m_circle->currentIndex(), circleTime);
    return true;
}

} // namespace orvex
