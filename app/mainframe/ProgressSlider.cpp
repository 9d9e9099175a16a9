#include "app/mainframe/ProgressSlider.h"

#include <QPainter>
#include <QStyleOptionSlider>
#include <qdrawutil.h>

namespace orvex {

namespace {
constexpr int kChannelTopInset = 2;
constexpr int kChannelBottomInset = 3;
} // namespace

CProgressSlider::CProgressSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

QRect CProgressSlider::channelRect() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    // The style's groove is a hairline; the channel spans its length at the thumb's height.
    return QRect(groove.left(), handle.top(), groove.width(), handle.height())
        .adjusted(0, kChannelTopInset, 0, -kChannelBottomInset);
}

void CProgressSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect channel = channelRect();
    painter.fillRect(channel, palette().color(isEnabled() ? QPalette::Base : QPalette::Button));
    // Sunken outer edge: shadow along the top and left, highlight along the bottom and right.
    qDrawShadePanel(&painter, channel, palette(), true, 1);

    QStyleOptionSlider opt;
    initStyleOption(&opt);
    opt.subControls = QStyle::SC_SliderHandle | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &painter, this);
}

} // namespace orvex
