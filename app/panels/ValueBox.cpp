#include "panels/ValueBox.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>

namespace orvex {

namespace {
constexpr int kMinTextChars = 9;
}

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

CValueBox* addLabelledBox(QGridLayout* grid, int row, int col, const QString& label, int controlId)
{
    auto* text = new QLabel(label);
    auto* box = new CValueBox(controlId);
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
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void CValueBox::setBox(const CPanelBox& box)
{
    const QString text = QString::fromStdString(box.text);
    if (text == m_text && box.colour == m_colour)
        return;
    m_text = text;
    m_colour = box.colour;
    update();
}

QSize CValueBox::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(QLatin1Char('0')) * kMinTextChars + 2 * frameWidth() + kValueTextInsetPx + 4,
            fm.height() + 2 * frameWidth() + kValueTextInsetPx + 4};
}

QSize CValueBox::minimumSizeHint() const
{
    return sizeHint();
}

void CValueBox::paintEvent(QPaintEvent* event)
{
    {
        QPainter p(this);
        p.fillRect(contentsRect(), fillColour());
        p.setPen(Qt::black);
        QRect textRect = contentsRect().adjusted(1, 0, -1, 0);
        textRect.translate(kValueTextInsetPx, kValueTextInsetPx);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
    }
    QFrame::paintEvent(event);
}

} // namespace orvex
