#pragma once
// The replay progress slider of the playback bar. Its channel is drawn as a well: a band along the
// track, two pixels below the top and three above the bottom of the thumb's height, filled with
// the window colour (the button face while the slider is disabled) and framed by a thin sunken
// edge. The thumb and the tick marks keep the style's own drawing.

#include <QSlider>

namespace orvex {

class CProgressSlider : public QSlider {
    Q_OBJECT
public:
    explicit CProgressSlider(QWidget* parent = nullptr);

    // Where the channel is drawn, in the slider's coordinates.
    QRect channelRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvex
