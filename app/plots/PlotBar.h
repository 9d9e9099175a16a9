#pragma once
// CPlotBar "数据曲线": the telemetry fields as curves over time, in a dock bar (hidden until the
// operator shows it from "查看(&V)"). Up to four stacked plots share one time axis; each shows
// one field of the core's plot-field table; the window is 1, 5 or 15 minutes.
//
// Live, the window ends at the newest record; in replay it is centred on the replay position,
// and a click in a plot seeks the replay to the record under the pointer (seekRequested with a
// progress-slider position). "暂停" holds the window where it is. The cursor line marks the
// record shown (live: the newest; replay: the replay position); under the pointer a second line
// reads the values off at that time.
//
// Cost: nothing runs while the bar is hidden. While shown, a 250 ms timer looks whether the
// store moved on and repaints only then; each field's values are computed once per record and
// each curve is drawn with at most two points per pixel column.

#include <QDockWidget>
#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;

namespace orvex {

class CLinkState;
class CPlotView;
struct SPlotField;

class CPlotBar : public QDockWidget {
    Q_OBJECT
  public:
    static constexpr int kPlots = 4;
    static constexpr int kRefreshMs = 250;

    CPlotBar(const CLinkState& link, QWidget* parent = nullptr);

    // "数据曲线" in "查看(&V)": checked while the bar is shown; toggles it.
    QAction* showAction() const { return m_showAction; }
    // "飞行摘要": enabled while a replay is loaded (updateSummaryAction); opens the summary dialog.
    QAction* summaryAction() const { return m_summaryAction; }
    void updateSummaryAction();
    void showSummary();

    // Catches up with the store and repaints when something changed (the timer calls it).
    void refresh();

    // Chosen field of plot i (nullptr: none); window in seconds (60, 300 or 900).
    void setField(int plot, const SPlotField* field);
    void setWindowSeconds(int seconds);
    void setPaused(bool paused);

    // For the view and the tests.
    std::optional<std::size_t> cursorIndex() const { return m_cursor; }
    const SPlotField* field(int plot) const { return m_fields[plot]; }
    int windowSeconds() const { return m_windowSeconds; }
    // The time span [from, to] shown, seconds on the log's clock from its first record.
    double windowStart() const { return m_windowEnd - m_windowSeconds; }
    double windowEnd() const { return m_windowEnd; }
    // Records [first, last) inside the window; their times and values.
    std::size_t firstShown() const;
    std::size_t lastShown() const;
    double secondsAt(std::size_t index) const { return m_seconds[index]; }
    float valueAt(int plot, std::size_t index) const { return m_values[plot][index]; }
    // The record nearest to time t (seconds on the log's clock); none without records.
    std::optional<std::size_t> indexAt(double t) const;
    bool replaying() const;
    const std::uint8_t* recordAt(std::size_t index) const;
    QWidget* view() const;

    // Seek the replay to record `index` (the progress-slider position that lands on it).
    void seekTo(std::size_t index);

  signals:
    void seekRequested(int progressPosition);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void catchUp();
    void fillValues(int plot, std::size_t from);

    const CLinkState& m_link;
    QTimer m_timer;
    CPlotView* m_view = nullptr;
    std::array<QComboBox*, kPlots> m_fieldBoxes{};
    QComboBox* m_windowBox = nullptr;
    QCheckBox* m_pauseBox = nullptr;
    QAction* m_summaryAction = nullptr;
    QAction* m_showAction = nullptr;

    std::array<const SPlotField*, kPlots> m_fields{};
    int m_windowSeconds = 300;
    bool m_paused = false;

    // Cache of the store: its identity, the records seen, their times and the chosen values.
    const std::uint8_t* m_storeFirst = nullptr;
    std::size_t m_seen = 0;
    std::optional<long> m_lastClock;
    std::vector<double> m_seconds;
    std::array<std::vector<float>, kPlots> m_values;

    std::optional<std::size_t> m_cursor;
    double m_windowEnd = 0;
};

} // namespace orvex
