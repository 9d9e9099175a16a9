#include "app/panels/ValueBox.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace orvex {

namespace {
constexpr int kMinTextChars = 6;
constexpr int kTextMarginPx = 4;
} // namespace

QColor panelColour(const SPanelRgb& rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

void applyPanelLook(QWidget* page)
{
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, panelColour(kPanelBackgroundRgb));
    pal.setColor(QPalette::WindowText, Qt::black);
    page->setPalette(pal);
    page->setAutoFillBackground(true);
}

CValueBox* addLabelledBox(QGridLayout* grid, int row, int col, const QString& label, int controlId,
                          const QString& sample)
{
    auto* text = new QLabel(label);
    auto* box = new CValueBox(controlId);
    box->setSampleText(sample);
    text->setBuddy(box);
    grid->addWidget(text, row, 2 * col, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(box, row, 2 * col + 1);
    return box;
}

CValueBox::CValueBox(int controlId, QWidget* parent) : QFrame(parent), m_controlId(controlId)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QColor CValueBox::fillColour() const
{
    switch (m_colour) {
    case EPanelColour::Red:
        return panelColour(kAlarmRedRgb);
    case EPanelColour::Green:
        return panelColour(kAlarmGreenRgb);
    case EPanelColour::Plain:
        break;
    }
    return panelColour(kPanelBackgroundRgb);
}

void CValueBox::setText(const QString& text)
{
    if (text == m_text) return;
    m_text = text;
    update();
}

void CValueBox::setBox(const CPanelBox& box)
{
    const QString text = QString::fromStdString(box.text);
    if (text == m_text && box.colour == m_colour) return;
    m_text = text;
    m_colour = box.colour;
    update();
}

void CValueBox::setSampleText(const QString& sample)
{
    m_sample = sample;
    updateGeometry();
}

QSize CValueBox::sizeHint() const
{
    const QFontMetrics fm(font());
    const int textWidth =
        std::max(fm.horizontalAdvance(m_sample), fm.horizontalAdvance(QLatin1Char('0')) * kMinTextChars);
    return {textWidth + 2 * frameWidth() + kValueTextInsetPx + 2 * kTextMarginPx,
            fm.height() + 2 * frameWidth() + kValueTextInsetPx + kTextMarginPx};
}

QSize CValueBox::minimumSizeHint() const
{
    return sizeHint();
}

QColor staleTextColour()
{
    return QColor(150, 150, 150);
}

void CValueBox::setStale(bool stale)
{
    if (stale == m_stale) return;
    m_stale = stale;
    update();
}

void CValueBox::paintEvent(QPaintEvent* event)
{
    {
        QPainter p(this);
        p.fillRect(contentsRect(), m_stale ? panelColour(kPanelBackgroundRgb) : fillColour());
        p.setPen(m_stale ? staleTextColour() : QColor(Qt::black));
        QRect textRect = contentsRect().adjusted(1, 0, -1, 0);
        textRect.translate(kValueTextInsetPx, kValueTextInsetPx);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
    }
    QFrame::paintEvent(event);
}

} // namespace orvex
