#include "app/map/PositionPanel.h"

#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "map/MapEventHandler.h"

namespace orvex {

namespace {

constexpr int kHistoryThreshold = 4000;
constexpr int kPlaceMarkThreshold = 500;

QTreeWidgetItem* makeItem(QTreeWidgetItem* parent, const QString& label, int value)
{
    auto* item = new QTreeWidgetItem(parent, QStringList{label});
    item->setData(0, CPositionPanel::kValueRole, value);
    return item;
}

} // namespace

CPositionPanel::CPositionPanel(CMapEventHandler& handler, QWidget* parent)
    : QWidget(parent), m_handler(handler), m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("positionPanel"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(227, 228, 230));
    pal.setColor(QPalette::Base, QColor(227, 228, 230));
    setPalette(pal);
    m_tree->setPalette(pal);
    m_tree->setHeaderHidden(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);

    m_positionRoot = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("位置导航")});
    makeItem(m_positionRoot, QStringLiteral("飞机"), kAircraftValue);
    makeItem(m_positionRoot, QStringLiteral("航线"), kRouteValue);
    makeItem(m_positionRoot, QStringLiteral("默认"), kDefaultValue);
    m_placeMarkRoot = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("标注导航")});
    m_historyRoot = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("搜索历史")});
    m_tree->expandAll();

    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        const QVariant v = item->data(0, kValueRole);
        if (v.isValid())
            activateValue(v.toInt());
    });
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, &CPositionPanel::onContextMenu);
    refreshPlaceMarks();
    refreshHistory();
}

QTreeWidgetItem* CPositionPanel::findItem(QTreeWidgetItem* root, const QString& label) const
{
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->text(0) == label)
            return root->child(i);
    return nullptr;
}

void CPositionPanel::refreshPlaceMarks()
{
    qDeleteAll(m_placeMarkRoot->takeChildren());
    const auto& marks = m_handler.placeMarks();
    for (size_t i = 0; i < marks.size(); ++i)
        makeItem(m_placeMarkRoot, QString::fromStdString(CMapEventHandler::placeMarkName(marks[i])),
                 kPlaceMarkBase + kFirstPlaceMarkRecord + static_cast<int>(i));
    m_placeMarkRoot->setExpanded(true);
}

void CPositionPanel::refreshHistory()
{
    qDeleteAll(m_historyRoot->takeChildren());
    const auto& entries = m_handler.addressNames();
    for (size_t i = 0; i < entries.size(); ++i)
        if (CMapEventHandler::historyEntryLive(entries[i]))
            makeItem(m_historyRoot, QString::fromStdString(CMapEventHandler::historyName(entries[i])),
                     kHistoryBase + static_cast<int>(i));
    m_historyRoot->setExpanded(true);
}

void CPositionPanel::activateValue(int value)
{
    if (value > kHistoryThreshold)
        m_handler.activateHistory(value - kHistoryBase);
    else if (value > kPlaceMarkThreshold)
        m_handler.activatePlaceMark(value - kPlaceMarkBase - kFirstPlaceMarkRecord);
    else if (value == kAircraftValue)
        m_handler.activateAircraft();
    else if (value == kRouteValue)
        m_handler.activateRoute();
    else if (value == kDefaultValue)
        m_handler.activateDefaultView();
}

void CPositionPanel::deleteValue(int value)
{
    if (value > kHistoryThreshold)
        m_handler.deleteHistory(value - kHistoryBase);
    else if (value > kPlaceMarkThreshold)
        m_handler.deletePlaceMark(value - kPlaceMarkBase - kFirstPlaceMarkRecord);
}

void CPositionPanel::onContextMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    if (!item)
        return;
    const QVariant v = item->data(0, kValueRole);
    if (!v.isValid() || v.toInt() <= kPlaceMarkThreshold)
        return;
    const int value = v.toInt();
    QMenu menu(this);
    QAction* del = menu.addAction(QStringLiteral("删除"));
    if (menu.exec(m_tree->viewport()->mapToGlobal(pos)) == del)
        deleteValue(value);
}

} // namespace orvex
