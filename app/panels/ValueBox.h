#pragma once
// CValueBox: one value box of the two bottom pages. It shows a text inset by 2 pixels to the
// right and downwards, on the panel background, or in black on the red or green alarm brush.

#include <QFrame>
#include <QString>

#include "panels/PanelTexts.h"

class QGridLayout;

namespace orvex {

QColor panelColour(const SPanelRgb& rgb);

// The look of the two bottom pages: background RGB(227,228,230) behind the page and its texts.
void applyPanelLook(QWidget* page);

class CValueBox;
// A label and its value box side by side in a grid (label at column 2 x col, box after it).
CValueBox* addLabelledBox(QGridLayout* grid, int row, int col, const QString& label, int controlId,
                          const QString& sample);

class CValueBox : public QFrame {
    Q_OBJECT
  public:
    explicit CValueBox(int controlId, QWidget* parent = nullptr);

    int controlId() const { return m_controlId; }
    QString text() const { return m_text; }
    EPanelColour colour() const { return m_colour; }
    // The brush the box is filled with (the panel background for plain boxes).
    QColor fillColour() const;

    void setText(const QString& text);
    // The widest text the box is expected to show; the box asks for room for it.
    void setSampleText(const QString& sample);
    void setBox(const CPanelBox& box);
    // Stale: the last text stays, grey on the panel background (no alarm colour), until the box
    // is made live again.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_controlId;
    QString m_text;
    QString m_sample;
    EPanelColour m_colour = EPanelColour::Plain;
    bool m_stale = false;
};

// The text colour of stale values (last values of a closed or lost link).
QColor staleTextColour();

} // namespace orvex
