#include "app/mainframe/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "app/shell/Commands.h"

namespace orvex {

namespace {

constexpr int kIconSize = 32;

QPainterPath aircraftShape(double cx, double cy, double span)
{
    // A small fixed-wing aircraft, nose up, fitting in span x span around (cx, cy).
    const double s = span / 32.0;
    QPainterPath p;
    p.moveTo(cx, cy - 15 * s);
    p.lineTo(cx + 2 * s, cy - 11 * s);
    p.lineTo(cx + 2 * s, cy - 4 * s);
    p.lineTo(cx + 15 * s, cy + 2 * s);
    p.lineTo(cx + 15 * s, cy + 5 * s);
    p.lineTo(cx + 2 * s, cy + 2 * s);
    p.lineTo(cx + 1.5 * s, cy + 10 * s);
    p.lineTo(cx + 6 * s, cy + 13 * s);
    p.lineTo(cx + 6 * s, cy + 15 * s);
    p.lineTo(cx, cy + 13.5 * s);
    p.lineTo(cx - 6 * s, cy + 15 * s);
    p.lineTo(cx - 6 * s, cy + 13 * s);
    p.lineTo(cx - 1.5 * s, cy + 10 * s);
    p.lineTo(cx - 2 * s, cy + 2 * s);
    p.lineTo(cx - 15 * s, cy + 5 * s);
    p.lineTo(cx - 15 * s, cy + 2 * s);
    p.lineTo(cx - 2 * s, cy - 4 * s);
    p.lineTo(cx - 2 * s, cy - 11 * s);
    p.closeSubpath();
    return p;
}

void drawRouteDots(QPainter& p, const QPolygonF& pts, const QColor& line, const QColor& dot)
{
    p.setPen(QPen(line, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(pts);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(dot);
    for (const QPointF& pt : pts)
        p.drawEllipse(pt, 3.2, 3.2);
}

QPixmap drawIcon(int id)
{
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(30, 100, 200), red(210, 50, 40), green(40, 150, 70), dark(50, 50, 60);
    switch (id) {
    case cmd::kEraseRouteMarks: { // a route with an eraser over it
        drawRouteDots(p, QPolygonF({QPointF(4, 26), QPointF(12, 14), QPointF(22, 20), QPointF(29, 6)}), blue, blue);
        p.save();
        p.translate(20, 18);
        p.rotate(-35);
        p.setPen(QPen(dark, 1.2));
        p.setBrush(QColor(240, 130, 150));
        p.drawRoundedRect(QRectF(-9, -5, 12, 10), 2, 2);
        p.setBrush(QColor(235, 235, 240));
        p.drawRoundedRect(QRectF(3, -5, 7, 10), 2, 2);
        p.restore();
        break;
    }
    case cmd::kToolRestore: { // the plain pointer arrow
        QPainterPath a;
        a.moveTo(9, 4);
        a.lineTo(9, 26);
        a.lineTo(14, 21);
        a.lineTo(18, 29);
        a.lineTo(22, 27);
        a.lineTo(18, 19.5);
        a.lineTo(25, 19.5);
        a.closeSubpath();
        p.setPen(QPen(dark, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPath(a);
        break;
    }
    case cmd::kToolMeasure: { // a ruler
        p.save();
        p.translate(16, 16);
        p.rotate(-40);
        p.setPen(QPen(dark, 1.2));
        p.setBrush(QColor(250, 210, 80));
        p.drawRect(QRectF(-14, -5, 28, 10));
        for (int i = 0; i < 7; ++i) {
            const double x = -12 + i * 4;
            p.drawLine(QPointF(x, -5), QPointF(x, i % 2 ? -1.5 : 0.5));
        }
        p.restore();
        break;
    }
    case cmd::kToolPlanRoute: // a route of four waypoints
        drawRouteDots(p, QPolygonF({QPointF(5, 26), QPointF(10, 9), QPointF(21, 22), QPointF(27, 6)}), green,
                      QColor(230, 120, 20));
        break;
    case cmd::kMoveRoute: { // four-way arrow
        p.setPen(QPen(blue, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 4), QPointF(16, 28));
        p.drawLine(QPointF(4, 16), QPointF(28, 16));
        p.setBrush(blue);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(16, 2), QPointF(11, 8), QPointF(21, 8)}));
        p.drawPolygon(QPolygonF({QPointF(16, 30), QPointF(11, 24), QPointF(21, 24)}));
        p.drawPolygon(QPolygonF({QPointF(2, 16), QPointF(8, 11), QPointF(8, 21)}));
        p.drawPolygon(QPolygonF({QPointF(30, 16), QPointF(24, 11), QPointF(24, 21)}));
        break;
    }
    case cmd::kToolPlaceMark: { // a map pin
        QPainterPath pin;
        pin.moveTo(16, 30);
        pin.cubicTo(10, 20, 6, 16, 6, 11);
        pin.arcTo(QRectF(6, 1, 20, 20), 180, -180);
        pin.cubicTo(26, 16, 22, 20, 16, 30);
        p.setPen(QPen(QColor(140, 20, 20), 1.2));
        p.setBrush(red);
        p.drawPath(pin);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 11), 4, 4);
        break;
    }
    case cmd::kAltitudeMode: { // mountain with an altitude arrow
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 140, 90));
        p.drawPolygon(QPolygonF({QPointF(2, 29), QPointF(12, 14), QPointF(17, 21), QPointF(22, 16), QPointF(30, 29)}));
        p.setPen(QPen(red, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24, 12), QPointF(24, 3));
        p.drawLine(QPointF(24, 3), QPointF(20, 7));
        p.drawLine(QPointF(24, 3), QPointF(28, 7));
        break;
    }
    case cmd::kRouteExtend: { // route drawn in perspective with its ground shadow
        p.setPen(QPen(QColor(150, 150, 150), 1.4, Qt::DashLine));
        p.drawPolyline(QPolygonF({QPointF(4, 29), QPointF(14, 25), QPointF(28, 28)}));
        p.setPen(QPen(QColor(150, 150, 150), 1.0));
        p.drawLine(QPointF(4, 29), QPointF(4, 15));
        p.drawLine(QPointF(14, 25), QPointF(14, 7));
        p.drawLine(QPointF(28, 28), QPointF(28, 12));
        drawRouteDots(p, QPolygonF({QPointF(4, 15), QPointF(14, 7), QPointF(28, 12)}), blue, QColor(230, 120, 20));
        break;
    }
    case cmd::kLookStraightDown: { // an eye above a grid
        p.setPen(QPen(QColor(120, 120, 130), 1.0));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(4 + i * 8, 18), QPointF(4 + i * 8, 30));
            p.drawLine(QPointF(4, 18 + i * 4), QPointF(28, 18 + i * 4));
        }
        QPainterPath eye;
        eye.moveTo(3, 9);
        eye.quadTo(16, -1, 29, 9);
        eye.quadTo(16, 19, 3, 9);
        p.setPen(QPen(dark, 1.4));
        p.setBrush(Qt::white);
        p.drawPath(eye);
        p.setBrush(blue);
        p.drawEllipse(QPointF(16, 9), 4, 4);
        break;
    }
    case cmd::kAbout: { // question mark in a disc
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont f;
        f.setBold(true);
        f.setPixelSize(20);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    default:
        break;
    }
    return pm;
}

} // namespace

QIcon toolbarIcon(int commandId)
{
    return QIcon(drawIcon(commandId));
}

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size * 0.4, size * 0.35, size * 0.7);
    g.setColorAt(0, QColor(90, 170, 240));
    g.setColorAt(1, QColor(20, 70, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    p.setBrush(Qt::white);
    p.drawPath(aircraftShape(size / 2.0, size / 2.0, size * 0.8));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

QPixmap splashPicture(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(14, 42, 92));
    sky.setColorAt(0.65, QColor(44, 110, 180));
    sky.setColorAt(1, QColor(150, 190, 220));
    p.fillRect(pm.rect(), sky);

    // Ground with a survey grid.
    QPainterPath ground;
    ground.moveTo(0, height * 0.78);
    ground.cubicTo(width * 0.3, height * 0.70, width * 0.6, height * 0.84, width, height * 0.74);
    ground.lineTo(width, height);
    ground.lineTo(0, height);
    ground.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(48, 96, 64));
    p.drawPath(ground);
    p.setClipPath(ground);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    for (int x = -width; x < 2 * width; x += 36)
        p.drawLine(QPointF(width / 2.0, height * 0.70), QPointF(x, height));
    for (double y = height * 0.80; y < height; y += 12)
        p.drawLine(QPointF(0, y), QPointF(width, y));
    p.setClipping(false);

    // A route with waypoints over the ground.
    const QPolygonF route({QPointF(width * 0.08, height * 0.86), QPointF(width * 0.28, height * 0.62),
                           QPointF(width * 0.46, height * 0.72), QPointF(width * 0.64, height * 0.50),
                           QPointF(width * 0.80, height * 0.58)});
    p.setPen(QPen(QColor(255, 200, 60), 2.5, Qt::DashLine, Qt::RoundCap));
    p.drawPolyline(route);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(240, 120, 30));
    for (const QPointF& pt : route)
        p.drawEllipse(pt, 5, 5);

    // The aircraft.
    p.save();
    p.translate(width * 0.84, height * 0.36);
    p.rotate(55);
    p.setPen(QPen(QColor(30, 40, 60), 1.5));
    p.setBrush(QColor(245, 245, 250));
    p.drawPath(aircraftShape(0, 0, height * 0.42));
    p.restore();

    // Title and subtitle.
    QFont title;
    title.setPixelSize(height / 8);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRectF(width * 0.06 + 2, height * 0.12 + 2, width * 0.7, height * 0.2), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Orvex 无人机地面站"));
    p.setPen(Qt::white);
    p.drawText(QRectF(width * 0.06, height * 0.12, width * 0.7, height * 0.2), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Orvex 无人机地面站"));
    QFont sub;
    sub.setPixelSize(height / 20);
    p.setFont(sub);
    p.setPen(QColor(210, 225, 245));
    p.drawText(QRectF(width * 0.06, height * 0.32, width * 0.7, height * 0.1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("航线规划 · 飞行监控 · 轨迹回放    版本 1.0"));
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

} // namespace orvex
