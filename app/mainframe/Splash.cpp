#include "app/mainframe/Splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "app/mainframe/Artwork.h"

namespace orvex {

CSplash::CSplash(int showMs)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(kWidth, kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSplash::dismiss);
    m_timer.start(showMs);
}

void CSplash::dismiss()
{
    if (!m_up)
        return;
    m_up = false;
    m_timer.stop();
    hide();
    emit dismissed();
}

void CSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), splashPicture(width(), height()));
}

} // namespace orvex
