#pragma once
// CSurveyDlg ("航线自动生成"): the operator picks the four corners of a survey area among the
// waypoints of the route and two distances; "生成" checks them in order (each failure in a message
// box, the dialog stays open), computes the lawn-mower pattern and closes with OK. The caller (the
// route editor) then splices pattern().points into the route in place of replacedIndexes().

#include <QDialog>

#include <array>
#include <vector>

#include "route/SkyWay.h"
#include "route/SurveyGenerator.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace orvex {

class CSurveyDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNumberColumnPx = 50;
    static constexpr int kCoordinateColumnPx = 120;

    // `altitude` is the route editor's altitude field: every pattern waypoint takes it.
    CSurveyDlg(const CSkyWay& route, const CWayPointDefaults& defaults, int altitude, QWidget* parent = nullptr);

    const CSurveyInput& input() const { return m_input; }
    // Valid once the dialog closed with OK.
    const std::vector<size_t>& replacedIndexes() const { return m_indexes; }
    const CSurveyPattern& pattern() const { return m_pattern; }

    // The controls (tests and screenshots).
    QTreeWidget* list() const { return m_list; }
    QLineEdit* extendEdit() const { return m_extend; }
    QLineEdit* spacingEdit() const { return m_spacing; }
    QLineEdit* cornerEdit(ESurveyCorner corner) const { return m_cornerEdits[corner]; }
    QPushButton* cornerButton(ESurveyCorner corner) const { return m_cornerButtons[corner]; }
    QPushButton* generateButton() const { return m_generate; }
    QPushButton* cancelButton() const { return m_cancel; }
    int selectedRow() const;
    void selectRow(int row);

    // "生成".
    void generate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pickCorner(ESurveyCorner corner);
    void showCorners();
    void readDistances();

    const CSkyWay& m_route;
    CWayPointDefaults m_defaults;
    int m_altitude;
    CSurveyInput m_input;
    std::vector<size_t> m_indexes;
    CSurveyPattern m_pattern;

    QTreeWidget* m_list = nullptr;
    QLineEdit* m_extend = nullptr;
    QLineEdit* m_spacing = nullptr;
    std::array<QLineEdit*, 4> m_cornerEdits{};
    std::array<QPushButton*, 4> m_cornerButtons{};
    QPushButton* m_generate = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace orvex
