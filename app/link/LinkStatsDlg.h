#pragma once
// "链路统计": the live link's counters since it opened, as the station's link watch keeps them
// (linkStatsRows). Not modal; refreshed once a second while shown.

#include <QDialog>
#include <QTimer>

class QTableWidget;

namespace orvex {

class CLinkWatch;

class CLinkStatsDlg : public QDialog {
    Q_OBJECT
  public:
    CLinkStatsDlg(CLinkWatch& watch, QWidget* parent = nullptr);
    void refresh();
    QTableWidget* table() const { return m_table; }

  private:
    CLinkWatch& m_watch;
    QTableWidget* m_table = nullptr;
    QTimer m_timer;
};

} // namespace orvex
