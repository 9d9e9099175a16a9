#include "app/link/LinkStatsDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/LinkWatch.h"

namespace orvex {

CLinkStatsDlg::CLinkStatsDlg(CLinkWatch& watch, QWidget* parent) : QDialog(parent), m_watch(watch)
{
    setWindowTitle(QStringLiteral("链路统计"));
    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("项目"), QStringLiteral("数值")});
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(320, 380);
    connect(&m_timer, &QTimer::timeout, this, &CLinkStatsDlg::refresh);
    m_timer.start(1000);
    refresh();
}

void CLinkStatsDlg::refresh()
{
    const auto rows = linkStatsRows(m_watch.stats());
    m_table->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(rows[size_t(i)].first)));
        auto* value = new QTableWidgetItem(QString::fromStdString(rows[size_t(i)].second));
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(i, 1, value);
    }
}

} // namespace orvex
