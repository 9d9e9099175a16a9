#include "app/panels/InstrumentCtrl.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <cmath>

namespace orvex {

namespace {

constexpr qreal kStaleOpacity = 0.35; // a stale instrument is drawn faded over the panel
constexpr int kBackgroundSizePx = 140;

const QColor kWhite(255, 255, 255);
const QColor kNeedleBlue(81, 162, 215);
const QColor kRed(255, 0, 0);
const QColor kHub(29, 28, 27);
const QColor kGround(125, 98, 35);
const QColor kSky(81, 162, 215);
const QColor kLadderGreen(0, 255, 0);
const QColor kBankArc(41, 126, 181);
const QColor kAxisGreen(0, 128, 0);
const QColor kXyRed(255, 0, 0);
const QColor kZyBlue(0, 0, 255);
const QColor kFace(28, 30, 34);

// The aircraft symbol: a wide arc, a dot at the centre and two wings.
constexpr double kSymbolArcDiameterPx = 16;
constexpr double kSymbolDotDiameterPx = 2;
constexpr double kSymbolWingEndPx = 24;

constexpr double kCalibrationPenPx = 2;
constexpr double kCalibrationMarkPx = 2;

QPointF toQt(const SPointF& p)
{
    return {p.x, p.y};
}
QPointF toQt(const SDialPoint& p)
{
    return {double(p.x), double(p.y)};
}

// Pies and arcs are given as library angles (degrees clockwise from +x, y down); Qt counts
// sixteenths of a degree counter-clockwise.
int qtAngle(double libraryDegrees)
{
    return static_cast<int>(std::lround(-libraryDegrees * 16));
}

void drawCase(QPainter& p, int size)
{
    const QPointF c(size / 2.0, size / 2.0);
    const double r = size / 2.0;
    QRadialGradient bezel(c.x() - r * 0.3, c.y() - r * 0.3, r * 1.4);
    bezel.setColorAt(0, QColor(190, 192, 196));
    bezel.setColorAt(1, QColor(70, 72, 78));
    p.setPen(Qt::NoPen);
    p.setBrush(bezel);
    p.drawEllipse(c, r - 1, r - 1);
    p.setBrush(kFace);
    p.drawEllipse(c, r - 6, r - 6);
}

QPixmap drawAltimeterBackground()
{
    QPixmap pm(kBackgroundSizePx, kBackgroundSizePx);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawCase(p, kBackgroundSizePx);

    const SDialFrame f = dialFrame(kBackgroundSizePx, kBackgroundSizePx);
    const int numberRadius = f.r - kAltimeterRingInsetPx - 15;
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kWhite);
    for (int digit = 0; digit < 10; ++digit) {
        const double a = digit * 2 * kInstrumentPi / 10;
        const QPointF at(f.cx + std::sin(a) * numberRadius, f.cy - std::cos(a) * numberRadius);
        p.drawText(QRectF(at.x() - 8, at.y() - 8, 16, 16), Qt::AlignCenter, QString::number(digit));
    }
    font.setPixelSize(9);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(200, 200, 200));
    // Between the short needle's reach and the "5", where the needles cover it least.
    p.drawText(QRectF(f.cx - 20, f.cy + kAltimeterFirstNeedlePx + 2, 40, 11), Qt::AlignCenter,
               QStringLiteral("×50米"));
    return pm;
}

QPixmap drawAttitudeBackground()
{
    QPixmap pm(kBackgroundSizePx, kBackgroundSizePx);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawCase(p, kBackgroundSizePx);
    return pm;
}

} // namespace

QPixmap instrumentBackground(int bitmapId)
{
    switch (bitmapId) {
    case CInstrumentCtrl::kAltimeterBitmap:
        return drawAltimeterBackground();
    case CInstrumentCtrl::kAttitudeBitmap:
        return drawAttitudeBackground();
    default:
        return {};
    }
}

CInstrumentCtrl::CInstrumentCtrl(EInstrumentKind kind, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    m_angles = instrumentAngles(m_kind, 0, 0);
}

void CInstrumentCtrl::setKind(EInstrumentKind kind)
{
    m_kind = kind;
    m_angles = instrumentAngles(m_kind, m_first, m_second);
    update();
}

void CInstrumentCtrl::attach(int bitmapId)
{
    m_bitmapId = bitmapId;
    m_background = instrumentBackground(bitmapId);
    if (!m_background.isNull()) {
        const QPoint topLeft = pos();
        setFixedSize(m_background.size());
        move(topLeft);
    }
    updateGeometry();
    update();
}

void CInstrumentCtrl::setValues(float first, float second)
{
    const SInstrumentAngles angles = instrumentAngles(m_kind, first, second);
    // Unchanged values draw nothing (telemetry repeats them many times a second).
    const bool same = first == m_first && second == m_second && angles.scale == m_angles.scale &&
                      angles.value == m_angles.value && angles.angle1 == m_angles.angle1 &&
                      angles.angle2 == m_angles.angle2;
    m_first = first;
    m_second = second;
    m_angles = angles;
    if (!same)
        update();
}

void CInstrumentCtrl::setCalibrationValues(const CalibrationValues& values)
{
    m_calibration = values;
    update();
}

void CInstrumentCtrl::addXyPoint(float first, float second)
{
    m_xy.push_back({first, second});
    update();
}

void CInstrumentCtrl::addZyPoint(float first, float second)
{
    m_zy.push_back({first, second});
    update();
}

void CInstrumentCtrl::setCalibrationPoints(std::vector<SCalibrationPoint> xy,
                                           std::vector<SCalibrationPoint> zy)
{
    m_xy = std::move(xy);
    m_zy = std::move(zy);
    update();
}

void CInstrumentCtrl::clearCalibrationPoints()
{
    m_xy.clear();
    m_zy.clear();
    update();
}

QSize CInstrumentCtrl::sizeHint() const
{
    if (!m_background.isNull()) return m_background.size();
    return {kBackgroundSizePx, kBackgroundSizePx};
}

QImage CInstrumentCtrl::renderImage()
{
    renderOffscreen();
    return m_offscreen.toImage();
}

void CInstrumentCtrl::setStale(bool stale)
{
    if (stale == m_stale) return;
    m_stale = stale;
    update();
}

void CInstrumentCtrl::paintEvent(QPaintEvent*)
{
    renderOffscreen();
    QPainter screen(this);
    if (m_stale) screen.setOpacity(kStaleOpacity);
    screen.drawPixmap(0, 0, m_offscreen);
}

void CInstrumentCtrl::renderOffscreen()
{
    const QSize client = size().expandedTo(QSize(1, 1));
    if (m_offscreen.size() != client) m_offscreen = QPixmap(client);
    const bool plot = m_kind == EInstrumentKind::CalibrationPlot;
    // Outside the round case the panel shows through; the plot has a white area of its own.
    m_offscreen.fill(plot && m_background.isNull() ? QColor(Qt::white) : QColor(Qt::transparent));

    QPainter p(&m_offscreen);
    p.setRenderHint(QPainter::Antialiasing);
    if (!m_background.isNull()) p.drawPixmap(QRect(QPoint(0, 0), client), m_background);

    const SDialFrame f = dialFrame(client.width(), client.height());
    switch (m_kind) {
    case EInstrumentKind::Altimeter:
        drawAltimeter(p, f);
        break;
    case EInstrumentKind::Attitude:
        drawAttitude(p, f);
        break;
    case EInstrumentKind::CalibrationPlot:
        drawCalibrationPlot(p);
        break;
    }
}

void CInstrumentCtrl::drawAltimeter(QPainter& p, const SDialFrame& f)
{
    p.setPen(QPen(kWhite, 2));
    for (const SAltimeterTick& t : altimeterTicks(f))
        p.drawLine(toQt(t.outer), toQt(t.inner));

    const QPointF centre(f.cx, f.cy);
    p.setPen(QPen(kNeedleBlue, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, toQt(dialPoint(f.cx, f.cy, m_angles.angle1, kAltimeterFirstNeedlePx)));

    p.setPen(QPen(kRed, 1));
    p.drawLine(centre, toQt(dialPoint(f.cx, f.cy, m_angles.angle2, f.r - kAltimeterRingInsetPx)));

    p.setPen(Qt::NoPen);
    p.setBrush(kHub);
    p.drawEllipse(centre, kAltimeterHubDiameterPx / 2.0, kAltimeterHubDiameterPx / 2.0);
}

void CInstrumentCtrl::drawAttitude(QPainter& p, const SDialFrame& f)
{
    const SHorizon h = horizonGeometry(m_angles, f);
    const QPointF centre(f.cx, f.cy);
    const QRectF disc(f.cx - kAttitudeDiscRadiusPx, f.cy - kAttitudeDiscRadiusPx, 2 * kAttitudeDiscRadiusPx,
                      2 * kAttitudeDiscRadiusPx);

    // 1. Ground disc. 2. Sky pie. 3. The chord triangle, in the ground colour when the nose is
    // down and in the sky colour otherwise, makes the horizon the straight chord. The pie and
    // the triangle are joined into one outline before filling, so that their common edges leave
    // no antialiased seams inside the sky or the ground.
    p.setPen(Qt::NoPen);
    p.setBrush(kGround);
    p.drawEllipse(disc);
    QPainterPath pie;
    pie.moveTo(centre);
    pie.arcTo(disc, qtAngle(h.skyStartDegrees) / 16.0, qtAngle(h.skySweepDegrees) / 16.0);
    pie.closeSubpath();
    QPainterPath triangle;
    triangle.addPolygon(QPolygonF({centre, toQt(h.chordA), toQt(h.chordB), centre}));
    triangle.closeSubpath();
    const QPainterPath sky = h.triangleIsGround ? pie.subtracted(triangle) : pie.united(triangle);
    p.setBrush(kSky);
    p.drawPath(sky);

    // 4. Pitch ladder, turned with the roll.
    for (const SLadderMark& m : pitchLadder(h, f)) {
        p.setPen(QPen(m.colour == ELadderColour::Green ? kLadderGreen : kWhite, 1));
        p.drawLine(toQt(m.line.from), toQt(m.line.to));
    }

    // 5. Bank scale on the case.
    p.setPen(QPen(kWhite, 2));
    for (const SLineF& m : bankScaleMarks(f))
        p.drawLine(toQt(m.from), toQt(m.to));

    // 6. Aircraft symbol, fixed to the case.
    p.setPen(QPen(kRed, 1));
    p.setBrush(Qt::NoBrush);
    const double a = kSymbolArcDiameterPx / 2, d = kSymbolDotDiameterPx / 2;
    p.drawArc(QRectF(f.cx - a, f.cy - a, 2 * a, 2 * a), qtAngle(180), qtAngle(180));
    p.drawArc(QRectF(f.cx - d, f.cy - d, 2 * d, 2 * d), qtAngle(180), qtAngle(360));
    p.drawLine(QPointF(f.cx - kSymbolWingEndPx, f.cy), QPointF(f.cx - a, f.cy));
    p.drawLine(QPointF(f.cx + a, f.cy), QPointF(f.cx + kSymbolWingEndPx, f.cy));

    // 7. Bank-scale arc (open at the bottom) and the bank pointer.
    const double b = kBankScaleOuterRadiusPx;
    p.setPen(QPen(kBankArc, 2));
    p.drawArc(QRectF(f.cx - b, f.cy - b, 2 * b, 2 * b), qtAngle(120), qtAngle(300));
    const SLineF pointer = bankPointer(h, f);
    p.setPen(QPen(kRed, 1, Qt::DashDotLine));
    p.drawLine(toQt(pointer.from), toQt(pointer.to));
}

void CInstrumentCtrl::drawCalibrationPlot(QPainter& p)
{
    const int w = width(), h = height();
    const int cx = w / 2, cy = h / 2;
    p.setPen(QPen(kAxisGreen, kCalibrationPenPx));
    p.drawLine(0, cy, w, cy);
    p.drawLine(cx, 0, cx, h);

    p.setBrush(Qt::NoBrush);
    const auto mark = [&](const SPointF& at) {
        p.drawRect(QRectF(at.x - 1, at.y - 1, kCalibrationMarkPx, kCalibrationMarkPx));
    };
    SPointF at;
    p.setPen(QPen(kXyRed, kCalibrationPenPx));
    for (const SCalibrationPoint& pt : m_xy)
        if (plotXyPoint(pt, m_calibration, cx, cy, at)) mark(at);
    p.setPen(QPen(kZyBlue, kCalibrationPenPx));
    for (const SCalibrationPoint& pt : m_zy)
        if (plotZyPoint(pt, m_calibration, cx, cy, at)) mark(at);
}

} // namespace orvex
