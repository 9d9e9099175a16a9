#pragma once
// CSurveyDlg ("航线自动生成"): the operator picks the four corners of a survey area among the
// waypoints of the route and two distances; "生成" checks them in order (each failure in a message
// box, the dialog stays open), computes the lawn-mower pattern and closes with OK. The caller (the
// route editor) then splices pattern().points into the route in place of replacedIndexes().
//
// "按相机规划" plans the lane spacing from a camera instead: its sensor, lens and image size, the
// front and side overlaps and the orientation, with either the altitude or the ground resolution
// given (each computed from the other). The spacing field then shows the planned spacing and the
// pattern flies at the planned altitude. Below, the route that "生成" would make is summed up
// (waypoints, length, flight time, and in camera mode photos and area) before the operator accepts.

#include <QDialog>

#include <array>
#include <vector>

#include "route/SkyWay.h"
#include "route/SurveyGenerator.h"
#include "route/SurveyPlan.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace orvex {

class CSurveyDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNumberColumnPx = 50;
    static constexpr int kCoordinateColumnPx = 120;

    // `altitude` is the route editor's altitude field: every pattern waypoint takes it.
    // `settings` gives the operator's cameras, the ceiling and the cruise speed (built-in values
    // without it).
    CSurveyDlg(const CSkyWay& route, const CWayPointDefaults& defaults, int altitude, QWidget* parent = nullptr,
               const CSettings* settings = nullptr);

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
    QGroupBox* cameraGroup() const { return m_cameraGroup; }
    QComboBox* cameraBox() const { return m_cameraBox; }
    QSpinBox* frontOverlapBox() const { return m_frontOverlap; }
    QSpinBox* sideOverlapBox() const { return m_sideOverlap; }
    QComboBox* orientationBox() const { return m_orientation; }
    QSpinBox* altitudeBox() const { return m_altitudeBox; }
    QDoubleSpinBox* resolutionBox() const { return m_resolution; }
    QLabel* planLabel() const { return m_planLabel; }
    QLabel* statsLabel() const { return m_statsLabel; }
    // The camera plan in force (camera mode only).
    std::optional<SSurveyCameraPlan> cameraPlan() const;
    // The altitude the pattern flies at.
    int patternAltitude() const;
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
    QWidget* buildCameraGroup();
    SCamera currentCamera() const;
    void chooseCamera(int index);
    void saveCamera();
    // Brings the computed fields and the summary up to date; `fromResolution` when the operator
    // typed the ground resolution (the altitude follows it), otherwise the resolution follows.
    void replan(bool fromResolution = false);
    std::optional<std::string> checkPlan() const;

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

    const CSettings* m_settings = nullptr;
    std::vector<SCamera> m_cameras;
    bool m_replanning = false;
    QGroupBox* m_cameraGroup = nullptr;
    QComboBox* m_cameraBox = nullptr;
    std::array<QDoubleSpinBox*, 5> m_cameraFields{}; // sensor width, height, focal, image width, height
    QSpinBox* m_frontOverlap = nullptr;
    QSpinBox* m_sideOverlap = nullptr;
    QComboBox* m_orientation = nullptr;
    QSpinBox* m_altitudeBox = nullptr;
    QDoubleSpinBox* m_resolution = nullptr;
    QLabel* m_planLabel = nullptr;
    QLabel* m_statsLabel = nullptr;
};

} // namespace orvex
