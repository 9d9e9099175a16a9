#pragma once
// CSkyWayEditDlg ("航线编辑"): the grid editor of the current route. It works on the route in
// place: every change is stored at once, there is no cancel. The list shows one row per waypoint;
// selecting a row loads its fields; every key release in a numeric field stores the fields into
// the selected waypoint (with "全部高度" every waypoint takes the altitude). A value out of range is
// refused with its range and the fields return to what the route holds.
//
// Every change accepted here is one undo step: SActions::changed is called when a field's editing
// is finished (Return, focus elsewhere, another row), after a combo choice, "删除", "上移",
// "下移", "加载", "自动生成" and "确定". Undo and redo while the dialog is open replace the route
// under it: reload() shows it again. "加载", "保存" and
// "上传" run the program's commands through SActions; "自动生成" opens the survey dialog, splices
// the pattern into the route and closes this dialog.
//
// Opening it forces the first waypoint to circle with no time limit. Whoever opens it clears the
// route-saved flag before and redraws the route on the map after it has closed (CRouteCommands).

#include <QDialog>

#include <functional>

#include "route/RouteEditing.h"
#include "route/SkyWay.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace orvex {

class CSettings;
class CSurveyDlg;

class CSkyWayEditDlg : public QDialog {
    Q_OBJECT
public:
    struct SActions {
        std::function<bool()> load;   // "加载航线(&L)"; true when a route was loaded
        std::function<bool()> save;   // "保存航线(&L)"
        std::function<void()> upload; // "上传航线(&U)"
        std::function<void()> changed; // a change was accepted (one undo step)
    };
    // How the survey dialog is run (tests answer it without a modal loop); exec() by default.
    using SurveyRunner = std::function<int(CSurveyDlg&)>;

    CSkyWayEditDlg(CSkyWay& route, const CSettings& settings, SActions actions, QWidget* parent = nullptr);
    ~CSkyWayEditDlg() override;

    void setSurveyRunner(SurveyRunner runner) { m_surveyRunner = std::move(runner); }

    // The controls (tests and screenshots).
    QTreeWidget* list() const { return m_list; }
    // The route's length, flight time and waypoints, kept up to date with every change.
    QLabel* statsLabel() const { return m_stats; }
    QLineEdit* longitudeEdit() const { return m_longitude; }
    QLineEdit* latitudeEdit() const { return m_latitude; }
    QLineEdit* altitudeEdit() const { return m_altitude; }
    QLineEdit* circleTimeEdit() const { return m_circleTime; }
    QComboBox* photoCombo() const { return m_photo; }
    QComboBox* circleCombo() const { return m_circle; }
    QCheckBox* allAltitudesBox() const { return m_allAltitudes; }
    // A button by its text ("删除", "上移", ...); nullptr when there is none.
    QPushButton* button(const QString& text) const;
    // The selected row, or -1.
    int selectedRow() const;
    void selectRow(int row);
    // Whether the last close came from "自动生成" with a pattern spliced in.
    bool generated() const { return m_generated; }
    // The fields as last read (the altitude the survey pattern takes).
    const CWayPointFields& fields() const { return m_fields; }

    // Rebuilds every row (labels from #01).
    void refill();
    // The route was replaced under the dialog (undo, redo): every row again, the same row selected.
    void reload();
    // The list's column widths from its client width.
    void layoutColumns();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void setRowTexts(int row, bool withLabel);
    void loadSelected();
    // Reads and range-checks every field into m_fields; false (message shown) when one is wrong.
    bool readFields();
    // The store of a key release or a combo change.
    void storeFields();
    void deleteSelected();
    void moveSelected(bool up);
    void loadRoute();
    void saveRoute();
    void upload();
    void generate();
    void ok();
    void noteChange();

    CSkyWay& m_route;
    SActions m_actions;
    SurveyRunner m_surveyRunner;
    CWayPointFields m_fields;
    bool m_generated = false;
    bool m_loadingFields = false;

    QTreeWidget* m_list = nullptr;
    QLabel* m_stats = nullptr;
    void updateStats();
    QLineEdit* m_longitude = nullptr;
    QLineEdit* m_latitude = nullptr;
    QLineEdit* m_altitude = nullptr;
    QComboBox* m_photo = nullptr;
    QComboBox* m_circle = nullptr;
    QLineEdit* m_circleTime = nullptr;
    QLineEdit* m_turnAmount = nullptr;  // hidden "保留" fields
    QLineEdit* m_servoAction = nullptr;
    QLineEdit* m_delayTime = nullptr;
    QLineEdit* m_repeatTime = nullptr;
    QCheckBox* m_allAltitudes = nullptr;
    const CSettings& m_settings;
};

} // namespace orvex
