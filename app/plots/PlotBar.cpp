#include "app/plots/PlotBar.h"

#include "flightlog/FlightSummary.h"
#include "flightlog/PlotFields.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"
#include "link/LinkState.h"
#include "protocol/TelemetryRecord.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace orvex {

namespace {

constexpr int kLeftMargin = 64, kRightMargin = 8, kAxisHeight = 18, kHeaderHeight = 16;
const QColor kCurveColours[CPlotBar::kPlots] = {QColor(21, 101, 192), QColor(198, 40, 40), QColor(46, 125, 50),
                                                 QColor(123, 31, 162)};

QString u(const char* s) { return QString::fromUtf8(s); }

} // namespace

// The stacked plots: drawn from the bar's cache, only when shown and asked to.
class CPlotView : public QWidget {
  public:
    explicit CPlotView(CPlotBar& bar) : m_bar(bar)
    {
        setObjectName(QStringLiteral("plotView"));
        setMouseTracking(true);
        setMinimumHeight(160);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    // The plotting rectangle of plot `row` of `rows`.
    QRect plotRect(int row, int rows) const
    {
        const int h = (height() - kAxisHeight) / std::max(rows, 1);
        return QRect(kLeftMargin, row * h + kHeaderHeight, width() - kLeftMargin - kRightMargin,
                     h - kHeaderHeight - 2);
    }
    double timeAtX(int x) const
    {
        const QRect r = plotRect(0, 1);
        return m_bar.windowStart() + double(x - r.left()) / std::max(r.width(), 1) * m_bar.windowSeconds();
    }
    int xAtTime(double t) const
    {
        const QRect r = plotRect(0, 1);
        return r.left() + int(std::lround((t - m_bar.windowStart()) / m_bar.windowSeconds() * r.width()));
    }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override
    {
        m_hoverX = e->position().toPoint().x();
        update();
    }
    void leaveEvent(QEvent*) override
    {
        m_hoverX.reset();
        update();
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton || !m_bar.replaying()) return;
        if (const auto i = m_bar.indexAt(timeAtX(e->position().toPoint().x()))) m_bar.seekTo(*i);
    }

  private:
    CPlotBar& m_bar;
    std::optional<int> m_hoverX;
};

void CPlotView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    std::vector<int> plots;
    for (int i = 0; i < CPlotBar::kPlots; ++i)
        if (m_bar.field(i)) plots.push_back(i);
    const std::size_t first = m_bar.firstShown(), last = m_bar.lastShown();
    const std::optional<std::size_t> hover =
        m_hoverX ? m_bar.indexAt(timeAtX(*m_hoverX)) : std::optional<std::size_t>();
    const std::optional<std::size_t> readAt = hover ? hover : m_bar.cursorIndex();
    const QFontMetrics fm = p.fontMetrics();
    for (int row = 0; row < int(plots.size()); ++row) {
        const int k = plots[row];
        const SPlotField& f = *m_bar.field(k);
        const QRect r = plotRect(row, int(plots.size()));
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        // Scale from the values in the window.
        float lo = std::numeric_limits<float>::infinity(), hi = -lo;
        for (std::size_t i = first; i < last; ++i) {
            const float v = m_bar.valueAt(k, i);
            if (std::isnan(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (!(lo <= hi)) lo = 0, hi = 1;
        if (hi - lo < 1e-6f) lo -= 1, hi += 1;
        const auto y = [&](float v) { return r.bottom() - double(v - lo) / (hi - lo) * (r.height() - 1); };
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(0, r.top(), kLeftMargin - 4, fm.height()), Qt::AlignRight,
                   QString::fromStdString(plotValueText(f, hi)));
        p.drawText(QRect(0, r.bottom() - fm.height(), kLeftMargin - 4, fm.height()), Qt::AlignRight,
                   QString::fromStdString(plotValueText(f, lo)));
        QString header = u(f.label);
        if (*f.unit) header += QStringLiteral(" (%1)").arg(u(f.unit));
        if (readAt && *readAt < m_bar.lastShown() + 1 && !std::isnan(m_bar.valueAt(k, *readAt)))
            header += QStringLiteral(": %1").arg(QString::fromStdString(plotValueText(f, m_bar.valueAt(k, *readAt))));
        p.drawText(QRect(r.left() + 4, r.top() - kHeaderHeight, r.width(), kHeaderHeight), Qt::AlignVCenter,
                   header);
        // The curve: per pixel column the lowest and the highest value, joined column to column.
        QPainterPath path;
        int column = std::numeric_limits<int>::min();
        float cMin = 0, cMax = 0;
        bool started = false;
        const auto flush = [&] {
            if (column == std::numeric_limits<int>::min()) return;
            const QPointF a(column, y(cMin)), b(column, y(cMax));
            if (!started) path.moveTo(a), started = true;
            else path.lineTo(a);
            if (cMax != cMin) path.lineTo(b);
        };
        for (std::size_t i = first; i < last; ++i) {
            const float v = m_bar.valueAt(k, i);
            if (std::isnan(v)) continue;
            const int c = xAtTime(m_bar.secondsAt(i));
            if (c != column) {
                flush();
                column = c;
                cMin = cMax = v;
            } else {
                cMin = std::min(cMin, v), cMax = std::max(cMax, v);
            }
        }
        flush();
        p.save();
        p.setClipRect(r);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(kCurveColours[k], 1));
        p.drawPath(path);
        p.restore();
    }
    if (plots.empty()) {
        p.setPen(palette().color(QPalette::Text));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("请在上方选择要显示的数据"));
        return;
    }
    const QRect top = plotRect(0, int(plots.size())), bottom = plotRect(int(plots.size()) - 1, int(plots.size()));
    const auto vertical = [&](std::size_t index, const QPen& pen) {
        const int x = xAtTime(m_bar.secondsAt(index));
        if (x < top.left() || x > top.right()) return;
        p.setPen(pen);
        p.drawLine(x, top.top(), x, bottom.bottom());
    };
    if (m_bar.cursorIndex()) vertical(*m_bar.cursorIndex(), QPen(QColor(230, 81, 0), 1));
    if (hover) vertical(*hover, QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
    // Time axis: the window's length and, under the line read, that record's clock.
    p.setPen(palette().color(QPalette::Text));
    const QRect axis(bottom.left(), bottom.bottom() + 2, bottom.width(), kAxisHeight);
    p.drawText(axis, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("%1 分钟").arg(m_bar.windowSeconds() / 60));
    if (readAt)
        p.drawText(axis, Qt::AlignHCenter | Qt::AlignVCenter,
                   QString::fromStdString(timeOfDayText(recordTimeOfDay(m_bar.recordAt(*readAt)))));
}

CPlotBar::CPlotBar(const CLinkState& link, QWidget* parent)
    : QDockWidget(QStringLiteral("数据曲线"), parent), m_link(link)
{
    setObjectName(QStringLiteral("plotBar"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 2, 4, 2);
    auto* controls = new QHBoxLayout;
    m_view = new CPlotView(*this);
    m_windowBox = new QComboBox(body);
    m_windowBox->setObjectName(QStringLiteral("plotWindow"));
    for (int minutes : {1, 5, 15})
        m_windowBox->addItem(QStringLiteral("%1 分钟").arg(minutes), minutes * 60);
    m_windowBox->setCurrentIndex(1);
    controls->addWidget(new QLabel(QStringLiteral("时间窗:"), body));
    controls->addWidget(m_windowBox);
    m_pauseBox = new QCheckBox(QStringLiteral("暂停"), body);
    m_pauseBox->setObjectName(QStringLiteral("plotPause"));
    controls->addWidget(m_pauseBox);
    const char* defaults[kPlots] = {"altitudeMetres", "voltage", nullptr, nullptr};
    for (int i = 0; i < kPlots; ++i) {
        auto* box = new QComboBox(body);
        box->setObjectName(QStringLiteral("plotField%1").arg(i + 1));
        box->addItem(QStringLiteral("(无)"));
        for (const auto& f : plotFields())
            box->addItem(u(f.label), u(f.name));
        m_fieldBoxes[i] = box;
        controls->addWidget(new QLabel(QStringLiteral("曲线%1:").arg(i + 1), body));
        controls->addWidget(box);
        if (defaults[i]) setField(i, findPlotField(defaults[i]));
        connect(box, &QComboBox::currentIndexChanged, this, [this, i, box] {
            setField(i, findPlotField(box->currentData().toString().toStdString()));
        });
    }
    controls->addStretch(1);
    column->addLayout(controls);
    column->addWidget(m_view, 1);
    setWidget(body);
    connect(m_windowBox, &QComboBox::currentIndexChanged, this,
            [this] { setWindowSeconds(m_windowBox->currentData().toInt()); });
    connect(m_pauseBox, &QCheckBox::toggled, this, &CPlotBar::setPaused);

    m_showAction = new QAction(QStringLiteral("数据曲线"), this);
    m_showAction->setObjectName(QStringLiteral("plotBarAction"));
    m_showAction->setCheckable(true);
    connect(m_showAction, &QAction::triggered, this, [this](bool on) { setVisible(on); });
    connect(this, &QDockWidget::visibilityChanged, m_showAction, [this] { m_showAction->setChecked(!isHidden()); });

    m_summaryAction = new QAction(QStringLiteral("飞行摘要..."), this);
    m_summaryAction->setObjectName(QStringLiteral("flightSummaryAction"));
    connect(m_summaryAction, &QAction::triggered, this, &CPlotBar::showSummary);
    updateSummaryAction();

    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CPlotBar::refresh);
}

QWidget* CPlotBar::view() const { return m_view; }

bool CPlotBar::replaying() const { return m_link.replayLoaded(); }

const std::uint8_t* CPlotBar::recordAt(std::size_t index) const { return m_link.store().record(index); }

void CPlotBar::updateSummaryAction() { m_summaryAction->setEnabled(m_link.replayLoaded()); }

void CPlotBar::showSummary()
{
    if (!m_link.replayLoaded()) return;
    const SFlightSummary s = summarizeFlight(m_link.store());
    const auto event = [](const std::optional<SFlightEvent>& e) {
        return e ? QStringLiteral("记录 %1, %2").arg(e->index).arg(QString::fromStdString(timeOfDayText(e->timeOfDay)))
                 : QStringLiteral("无");
    };
    const auto metres = [](const std::optional<double>& v) {
        return v ? QStringLiteral("%1 m").arg(*v, 0, 'f', 1) : QStringLiteral("无");
    };
    QString gaps;
    for (const auto& g : s.gaps)
        gaps += QStringLiteral("\n    记录 %1 之后 %2 s").arg(g.startIndex).arg(g.seconds);
    const QString text =
        QStringLiteral("起飞: %1\n降落: %2\n飞行时间: %3\n最大高度: %4\n离起飞点最远: %5\n飞行距离: %6\n"
                       "最低飞控电压: %7\n耗电量: %8\n记录中断 (超过 2 s): %9")
            .arg(event(s.takeoff), event(s.landing),
                 s.flightSeconds ? QStringLiteral("%1:%2").arg(*s.flightSeconds / 60).arg(*s.flightSeconds % 60, 2, 10,
                                                                                          QLatin1Char('0'))
                                 : QStringLiteral("无"),
                 metres(s.maxAltitudeMetres), metres(s.maxDistanceMetres), metres(s.distanceFlownMetres),
                 s.minVoltage ? QStringLiteral("%1 V").arg(*s.minVoltage, 0, 'f', 2) : QStringLiteral("无"),
                 s.consumedMah ? QStringLiteral("%1 mAh").arg(*s.consumedMah) : QStringLiteral("无"),
                 s.gaps.empty() ? QStringLiteral("无") : QString::number(s.gaps.size()) + gaps);
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("飞行摘要"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("flightSummaryDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CPlotBar::setField(int plot, const SPlotField* field)
{
    if (plot < 0 || plot >= kPlots) return;
    m_fields[plot] = field;
    const int at = field ? m_fieldBoxes[plot]->findData(u(field->name)) : 0;
    if (m_fieldBoxes[plot]->currentIndex() != at) m_fieldBoxes[plot]->setCurrentIndex(at);
    m_values[plot].clear();
    fillValues(plot, 0);
    m_view->update();
}

void CPlotBar::setWindowSeconds(int seconds)
{
    m_windowSeconds = seconds;
    const int at = m_windowBox->findData(seconds);
    if (at >= 0 && m_windowBox->currentIndex() != at) m_windowBox->setCurrentIndex(at);
    refresh();
    m_view->update();
}

void CPlotBar::setPaused(bool paused)
{
    m_paused = paused;
    if (m_pauseBox->isChecked() != paused) m_pauseBox->setChecked(paused);
    refresh();
}

void CPlotBar::fillValues(int plot, std::size_t from)
{
    std::vector<float>& values = m_values[plot];
    values.resize(m_fields[plot] ? m_seen : 0);
    if (!m_fields[plot]) return;
    const CRecordStore& store = m_link.store();
    for (std::size_t i = from; i < m_seen; ++i) {
        const std::uint8_t* rec = store.record(i);
        if (!recordChecksumOk(rec) || recordIsEmpty(rec)) {
            values[i] = std::numeric_limits<float>::quiet_NaN();
            continue;
        }
        CTelemetryRecord::Bytes b;
        std::memcpy(b.data(), rec, b.size());
        values[i] = float(m_fields[plot]->read(CTelemetryRecord(b)));
    }
}

void CPlotBar::catchUp()
{
    const CRecordStore& store = m_link.store();
    const std::size_t count = store.isHeld() ? store.count() : 0;
    const std::uint8_t* first = count ? store.record(0) : nullptr;
    if (first != m_storeFirst || count < m_seen) { // another link or log: start again
        m_storeFirst = first;
        m_seen = 0;
        m_lastClock.reset();
        m_seconds.clear();
        m_cursor.reset();
    }
    if (count == m_seen) return;
    const std::size_t from = m_seen;
    m_seconds.resize(count);
    double elapsed = from ? m_seconds[from - 1] : 0;
    for (std::size_t i = from; i < count; ++i) {
        const std::uint8_t* rec = store.record(i);
        if (recordChecksumOk(rec) && !recordIsEmpty(rec))
            if (const auto t = recordTimeOfDay(rec)) {
                if (m_lastClock) elapsed += ((*t - *m_lastClock) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
                m_lastClock = t;
            }
        m_seconds[i] = elapsed;
    }
    m_seen = count;
    for (int k = 0; k < kPlots; ++k)
        fillValues(k, from);
}

void CPlotBar::refresh()
{
    catchUp();
    if (m_paused || m_seen == 0) {
        if (m_seen == 0) m_view->update();
        return;
    }
    const bool replay = m_link.replayLoaded();
    const std::size_t follow =
        std::min(replay ? m_link.store().displayIndex() : m_seen - 1, m_seen - 1);
    const double end = replay ? m_seconds[follow] + m_windowSeconds / 2.0 : m_seconds[follow];
    if (m_cursor == follow && m_windowEnd == end) return;
    m_cursor = follow;
    m_windowEnd = end;
    m_view->update();
}

std::size_t CPlotBar::firstShown() const
{
    return std::size_t(std::lower_bound(m_seconds.begin(), m_seconds.end(), windowStart()) - m_seconds.begin());
}

std::size_t CPlotBar::lastShown() const
{
    return std::size_t(std::upper_bound(m_seconds.begin(), m_seconds.end(), windowEnd()) - m_seconds.begin());
}

std::optional<std::size_t> CPlotBar::indexAt(double t) const
{
    if (m_seconds.empty()) return std::nullopt;
    const std::size_t i =
        std::size_t(std::lower_bound(m_seconds.begin(), m_seconds.end(), t) - m_seconds.begin());
    if (i >= m_seconds.size()) return m_seconds.size() - 1;
    if (i > 0 && t - m_seconds[i - 1] < m_seconds[i] - t) return i - 1;
    return i;
}

void CPlotBar::seekTo(std::size_t index)
{
    const std::size_t count = m_link.store().count();
    if (count == 0) return;
    // The smallest slider position p with count x p / 32768 >= index.
    const long long p = (static_cast<long long>(index) * kProgressRange + static_cast<long long>(count) - 1) /
                        static_cast<long long>(count);
    emit seekRequested(int(std::min<long long>(p, kProgressRange - 1)));
}

void CPlotBar::showEvent(QShowEvent* event)
{
    QDockWidget::showEvent(event);
    refresh();
    m_timer.start();
}

void CPlotBar::hideEvent(QHideEvent* event)
{
    QDockWidget::hideEvent(event);
    m_timer.stop();
}

} // namespace orvex
