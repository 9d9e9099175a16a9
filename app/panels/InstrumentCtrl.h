#pragma once
// CInstrumentCtrl: a small round instrument drawn over a background picture.
//
// Kinds: 1 altimeter (one turn = 500, a short needle for the first value and a long red one for
// the second), 2 attitude indicator (first value pitch in degrees, second value -roll in
// degrees), 100 calibration plot (axes and the magnetometer points of the compass dialog).
//
// Use:
//   auto* alt = new CInstrumentCtrl(EInstrumentKind::Altimeter, parent);
//   alt->attach(CInstrumentCtrl::kAltimeterBitmap);    // size from the background picture
//   alt->setValues(altitudeM, referenceM);               // repaints
//
// Calibration plot (kind 100), for the compass dialog:
//   auto* plot = new CInstrumentCtrl(EInstrumentKind::CalibrationPlot, parent);
//   plot->setFixedSize(w, h);                            // no background picture: white area
//   plot->setCalibrationValues({c0, c1, c2, c3, c4});
//   plot->addXyPoint(first, second);                     // a $MG2 point as received
//   plot->addZyPoint(first, second);                     // a $MG3 point, already swapped
//   plot->setCalibrationPoints(xyList, zyList);          // or the whole lists at once
// Every setter schedules a repaint.
//
// Every paint draws the whole instrument into an off-screen pixmap with antialiasing and copies
// it to the screen in one go. renderImage() returns that picture (tests look at its pixels).

#include <QPixmap>
#include <QWidget>

#include <vector>

#include "panels/InstrumentGeometry.h"

class QPainter;

namespace orvex {

class CInstrumentCtrl : public QWidget {
    Q_OBJECT
  public:
    // Background pictures of our own, drawn in code (see instrumentBackground()).
    static constexpr int kAltimeterBitmap = 168;
    static constexpr int kAttitudeBitmap = 170;

    explicit CInstrumentCtrl(EInstrumentKind kind, QWidget* parent = nullptr);

    EInstrumentKind kind() const { return m_kind; }
    void setKind(EInstrumentKind kind);

    // Loads the background picture and resizes the control to its size, keeping the top-left
    // corner. An unknown id leaves the control without a background and its size unchanged.
    void attach(int bitmapId);
    int bitmapId() const { return m_bitmapId; }

    // Stores the values, computes the angles for the kind and repaints.
    void setValues(float first, float second);
    // Stale: the last needles stay, drawn faded.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }
    const SInstrumentAngles& angles() const { return m_angles; }

    // Calibration plot.
    void setCalibrationValues(const CalibrationValues& values);
    const CalibrationValues& calibrationValues() const { return m_calibration; }
    void addXyPoint(float first, float second);
    void addZyPoint(float first, float second);
    void setCalibrationPoints(std::vector<SCalibrationPoint> xy, std::vector<SCalibrationPoint> zy);
    void clearCalibrationPoints();
    const std::vector<SCalibrationPoint>& xyPoints() const { return m_xy; }
    const std::vector<SCalibrationPoint>& zyPoints() const { return m_zy; }

    // The picture a paint copies to the screen.
    QImage renderImage();

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void renderOffscreen();
    void drawAltimeter(QPainter& p, const SDialFrame& f);
    void drawAttitude(QPainter& p, const SDialFrame& f);
    void drawCalibrationPlot(QPainter& p);

    EInstrumentKind m_kind;
    bool m_stale = false;
    int m_bitmapId = 0;
    QPixmap m_background;
    QPixmap m_offscreen;
    float m_first = 0;
    float m_second = 0;
    SInstrumentAngles m_angles;
    CalibrationValues m_calibration{};
    std::vector<SCalibrationPoint> m_xy;
    std::vector<SCalibrationPoint> m_zy;
};

// The background pictures 168 (altimeter dial) and 170 (attitude indicator case), drawn in
// code; a null pixmap for any other id.
QPixmap instrumentBackground(int bitmapId);

} // namespace orvex
