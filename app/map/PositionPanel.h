#pragma once
// CPositionPanel: the position tree of the navigation bar. Roots "位置导航" (飞机 1, 航线 2,
// 默认 3), "标注导航" (placemarks, 1000 + 4 + index) and "搜索历史" (history, 5000 + index).
// Double click goes there on the map; right click on a placemark or a history entry offers
// "删除".

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace orvex {

class CMapEventHandler;

class CPositionPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAircraftValue = 1;
    static constexpr int kRouteValue = 2;
    static constexpr int kDefaultValue = 3;
    static constexpr int kPlaceMarkBase = 1000;
    static constexpr int kFirstPlaceMarkRecord = 4; // the record list starts with four placeholders
    static constexpr int kHistoryBase = 5000;
    static constexpr int kValueRole = Qt::UserRole + 1;

    explicit CPositionPanel(CMapEventHandler& handler, QWidget* parent = nullptr);

    QTreeWidget* tree() const { return m_tree; }
    QTreeWidgetItem* positionRoot() const { return m_positionRoot; }
    QTreeWidgetItem* placeMarkRoot() const { return m_placeMarkRoot; }
    QTreeWidgetItem* historyRoot() const { return m_historyRoot; }
    // The child of a root whose label is `label` (nullptr when none).
    QTreeWidgetItem* findItem(QTreeWidgetItem* root, const QString& label) const;

    // Rebuild the placemark and history children from the handler's lists.
    void refreshPlaceMarks();
    void refreshHistory();

    // The actions of a double click and of "删除" on an item value.
    void activateValue(int value);
    void deleteValue(int value);

private:
    void onContextMenu(const QPoint& pos);

    CMapEventHandler& m_handler;
    QTreeWidget* m_tree;
    QTreeWidgetItem* m_positionRoot;
    QTreeWidgetItem* m_placeMarkRoot;
    QTreeWidgetItem* m_historyRoot;
};

} // namespace orvex
