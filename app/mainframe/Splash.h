#pragma once
// The splash picture: a 639 x 331 window without frame, centred on the screen, that closes itself
// after 3000 ms or at the first key or mouse press (the application's pre-filter calls dismiss()).

#include <QTimer>
#include <QWidget>

namespace orvex {

class CSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 639;
    static constexpr int kHeight = 331;
    static constexpr int kShowMs = 3000;

    explicit CSplash(int showMs = kShowMs);
    bool isUp() const { return m_up; }

public slots:
    void dismiss();

signals:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    bool m_up = true;
};

} // namespace orvex
