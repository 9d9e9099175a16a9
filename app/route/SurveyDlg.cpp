#include "app/route/SurveyDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/shell/MessageBox.h"
#include "base/Settings.h"
#include "base/Format.h"

#include <cmath>

namespace orvex {

namespace {

QLineEdit* distanceEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(QString::number(kSurveyFieldInitialM), parent);
    edit->setMaxLength(kSurveyFieldMaxChars);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

} // namespace

CSurveyDlg::CSurveyDlg(const CSkyWay& route, const CWayPointDefaults& defaults, int altitude, QWidget* parent,
                       const CSettings* settings)
    : QDialog(parent), m_route(route), m_defaults(defaults), m_altitude(altitude), m_settings(settings)
{
    setWindowTitle(QStringLiteral("航线自动生成"));
    setModal(true);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("经度"), QStringLiteral("纬度")});
    m_list->setColumnWidth(0, kNumberColumnPx);
    m_list->setColumnWidth(1, kCoordinateColumnPx);
    m_list->setColumnWidth(2, kCoordinateColumnPx);
    m_list->setMinimumWidth(kNumberColumnPx + 2 * kCoordinateColumnPx + 30);
    for (size_t i = 0; i < route.size(); ++i) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(strprintf("#%02d", static_cast<int>(i + 1))));
        item->setText(1, QString::fromStdString(strprintf("%lf", route[i].longitude)));
        item->setText(2, QString::fromStdString(strprintf("%lf", route[i].latitude)));
    }
    selectRow(0);

    m_extend = distanceEdit(this);
    m_spacing = distanceEdit(this);
    m_extend->installEventFilter(this);
    m_spacing->installEventFilter(this);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("航线延长距离(米)"), this), 0, 0);
    form->addWidget(m_extend, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("生成航线间隔(米)"), this), 1, 0);
    form->addWidget(m_spacing, 1, 1);
    for (int c = 0; c < 4; ++c) {
        const auto corner = static_cast<ESurveyCorner>(c);
        m_cornerButtons[c] = new QPushButton(QString::fromUtf8(kSurveyCornerLabels[c]), this);
        m_cornerButtons[c]->setAutoDefault(false);
        m_cornerEdits[c] = new QLineEdit(this);
        m_cornerEdits[c]->setReadOnly(true);
        m_cornerEdits[c]->setMinimumWidth(230);
        connect(m_cornerButtons[c], &QPushButton::clicked, this, [this, corner] { pickCorner(corner); });
        form->addWidget(m_cornerButtons[c], 2 + c, 0);
        form->addWidget(m_cornerEdits[c], 2 + c, 1);
    }

    m_generate = new QPushButton(QStringLiteral("生成"), this);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_generate->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    connect(m_generate, &QPushButton::clicked, this, &CSurveyDlg::generate);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_generate);
    buttons->addWidget(m_cancel);

    m_statsLabel = new QLabel(this);
    m_statsLabel->setWordWrap(true);
    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addWidget(buildCameraGroup());
    right->addWidget(m_statsLabel);
    right->addStretch(1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(right);
    resize(780, 660);
    replan();
}

QWidget* CSurveyDlg::buildCameraGroup()
{
    m_cameras = m_settings ? availableCameras(*m_settings)
                           : std::vector<SCamera>(builtInCameras().begin(), builtInCameras().end());
    m_cameraGroup = new QGroupBox(QStringLiteral("按相机规划"), this);
    m_cameraGroup->setCheckable(true);
    m_cameraGroup->setChecked(false);
    m_cameraBox = new QComboBox(m_cameraGroup);
    for (const SCamera& camera : m_cameras)
        m_cameraBox->addItem(QString::fromStdString(camera.name));
    auto* save = new QPushButton(QStringLiteral("保存相机..."), m_cameraGroup);
    save->setAutoDefault(false);
    save->setEnabled(m_settings != nullptr);

    static const struct {
        const char* label;
        double min, max;
        int decimals;
    } kFields[] = {{"传感器宽(毫米)", 0.1, 100, 2}, {"传感器高(毫米)", 0.1, 100, 2}, {"焦距(毫米)", 0.5, 1000, 2},
                   {"照片宽(像素)", 1, 100000, 0}, {"照片高(像素)", 1, 100000, 0}};
    auto* grid = new QGridLayout(m_cameraGroup);
    grid->addWidget(new QLabel(QStringLiteral("相机"), m_cameraGroup), 0, 0);
    grid->addWidget(m_cameraBox, 0, 1, 1, 2);
    grid->addWidget(save, 0, 3);
    for (int i = 0; i < 5; ++i) {
        m_cameraFields[i] = new QDoubleSpinBox(m_cameraGroup);
        m_cameraFields[i]->setRange(kFields[i].min, kFields[i].max);
        m_cameraFields[i]->setDecimals(kFields[i].decimals);
        grid->addWidget(new QLabel(QString::fromUtf8(kFields[i].label), m_cameraGroup), 1 + i / 2, (i % 2) * 2);
        grid->addWidget(m_cameraFields[i], 1 + i / 2, (i % 2) * 2 + 1);
        connect(m_cameraFields[i], &QDoubleSpinBox::valueChanged, this, [this] { replan(); });
    }
    m_frontOverlap = new QSpinBox(m_cameraGroup);
    m_sideOverlap = new QSpinBox(m_cameraGroup);
    for (QSpinBox* box : {m_frontOverlap, m_sideOverlap}) {
        box->setRange(-50, 99); // out-of-range values are refused with a message at "生成"
        box->setSuffix(QStringLiteral(" %"));
        connect(box, &QSpinBox::valueChanged, this, [this] { replan(); });
    }
    m_frontOverlap->setValue(m_settings ? m_settings->getInt(keys::kFrontOverlap) : 80);
    m_sideOverlap->setValue(m_settings ? m_settings->getInt(keys::kSideOverlap) : 70);
    m_orientation = new QComboBox(m_cameraGroup);
    m_orientation->addItems({QStringLiteral("横向(照片宽边垂直航线)"), QStringLiteral("纵向(照片高边垂直航线)")});
    m_orientation->setCurrentIndex(m_settings && m_settings->getInt(keys::kPortrait) ? 1 : 0);
    m_altitudeBox = new QSpinBox(m_cameraGroup);
    m_altitudeBox->setRange(1, 65535);
    m_altitudeBox->setValue(std::clamp(m_altitude, 1, 65535));
    m_resolution = new QDoubleSpinBox(m_cameraGroup);
    m_resolution->setRange(0.01, 10000);
    m_resolution->setDecimals(2);
    grid->addWidget(new QLabel(QStringLiteral("航向重叠"), m_cameraGroup), 4, 0);
    grid->addWidget(m_frontOverlap, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("旁向重叠"), m_cameraGroup), 4, 2);
    grid->addWidget(m_sideOverlap, 4, 3);
    grid->addWidget(new QLabel(QStringLiteral("飞行高度(米)"), m_cameraGroup), 5, 0);
    grid->addWidget(m_altitudeBox, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("地面分辨率(厘米/像素)"), m_cameraGroup), 5, 2);
    grid->addWidget(m_resolution, 5, 3);
    grid->addWidget(new QLabel(QStringLiteral("相机方向"), m_cameraGroup), 6, 0);
    grid->addWidget(m_orientation, 6, 1, 1, 3);
    m_planLabel = new QLabel(m_cameraGroup);
    m_planLabel->setWordWrap(true);
    grid->addWidget(m_planLabel, 7, 0, 1, 4);

    const std::string last = m_settings ? m_settings->getText(keys::kSurveyCamera) : std::string();
    const SCamera* lastCamera = findCamera(m_cameras, last);
    chooseCamera(lastCamera ? int(lastCamera - m_cameras.data()) : 0);
    connect(m_cameraBox, &QComboBox::currentIndexChanged, this, &CSurveyDlg::chooseCamera);
    connect(m_orientation, &QComboBox::currentIndexChanged, this, [this] { replan(); });
    connect(m_altitudeBox, &QSpinBox::valueChanged, this, [this] { replan(false); });
    connect(m_resolution, &QDoubleSpinBox::valueChanged, this, [this] { replan(true); });
    connect(m_cameraGroup, &QGroupBox::toggled, this, [this] { replan(); });
    connect(save, &QPushButton::clicked, this, &CSurveyDlg::saveCamera);
    return m_cameraGroup;
}

void CSurveyDlg::chooseCamera(int index)
{
    if (index < 0 || index >= int(m_cameras.size())) return;
    const SCamera& c = m_cameras[size_t(index)];
    {
        const QSignalBlocker block(m_cameraBox);
        m_cameraBox->setCurrentIndex(index);
    }
    m_replanning = true;
    const double values[5] = {c.sensorWidthMm, c.sensorHeightMm, c.focalMm, double(c.imageWidthPx),
                              double(c.imageHeightPx)};
    for (int i = 0; i < 5; ++i)
        m_cameraFields[i]->setValue(values[i]);
    m_replanning = false;
    replan();
}

SCamera CSurveyDlg::currentCamera() const
{
    return {m_cameraBox->currentText().toStdString(), m_cameraFields[0]->value(), m_cameraFields[1]->value(),
            m_cameraFields[2]->value(), int(std::lround(m_cameraFields[3]->value())),
            int(std::lround(m_cameraFields[4]->value()))};
}

void CSurveyDlg::saveCamera()
{
    if (!m_settings) return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("保存相机"), QStringLiteral("相机名称:"),
                                               QLineEdit::Normal, m_cameraBox->currentText(), &ok)
                             .trimmed();
    if (!ok || name.isEmpty()) return;
    SCamera camera = currentCamera();
    camera.name = name.toStdString();
    CSettings writable(m_settings->path());
    if (!storeOperatorCamera(writable, camera)) {
        messageBox(this, QStringLiteral("相机未能保存(名称不能含逗号，最多保存 %1 台相机)。").arg(kMaxOperatorCameras));
        return;
    }
    m_cameras = availableCameras(*m_settings);
    const QSignalBlocker block(m_cameraBox);
    m_cameraBox->clear();
    for (const SCamera& c : m_cameras)
        m_cameraBox->addItem(QString::fromStdString(c.name));
    chooseCamera(int(findCamera(m_cameras, camera.name) - m_cameras.data()));
}

std::optional<SSurveyCameraPlan> CSurveyDlg::cameraPlan() const
{
    const SCamera camera = currentCamera();
    if (!m_cameraGroup->isChecked() || !camera.valid()) return std::nullopt;
    return planSurveyCamera(camera, m_altitudeBox->value(), m_frontOverlap->value(), m_sideOverlap->value(),
                            m_orientation->currentIndex() == 1 ? ECameraOrientation::Portrait
                                                               : ECameraOrientation::Landscape);
}

int CSurveyDlg::patternAltitude() const
{
    return m_cameraGroup->isChecked() ? m_altitudeBox->value() : m_altitude;
}

void CSurveyDlg::replan(bool fromResolution)
{
    if (m_replanning || !m_altitudeBox || !m_resolution || !m_statsLabel) return; // still being built
    m_replanning = true;
    const bool cameraMode = m_cameraGroup->isChecked();
    const SCamera camera = currentCamera();
    if (camera.valid()) {
        if (cameraMode && fromResolution)
            m_altitudeBox->setValue(int(std::floor(altitudeForResolution(camera, m_resolution->value()))));
        else
            m_resolution->setValue(groundResolutionCm(camera, m_altitudeBox->value()));
    }
    const std::optional<SSurveyCameraPlan> plan = cameraPlan();
    m_spacing->setReadOnly(cameraMode);
    if (plan) {
        m_spacing->setText(QString::number(std::clamp(plan->generatorSpacingM, 0, 9999)));
        m_planLabel->setText(QString::fromStdString(
            strprintf("一张照片覆盖 %.0f × %.0f 米(垂直航线 × 沿航线)；航线间隔 %.1f 米，相机拍照间距设为 %.1f 米。",
                      plan->footprintAcrossM, plan->footprintAlongM, plan->laneSpacingM, plan->photoDistanceM)));
    }
    readDistances();

    // What "生成" would make.
    QString summary = QStringLiteral("选好四个角点后，这里显示生成的航线。");
    if (!validateSurvey(m_input)) {
        const CSurveyPattern pattern = generateSurveyPattern(m_input, m_defaults, patternAltitude());
        if (pattern.ok) {
            CSkyWay preview = m_route;
            spliceSurveyPattern(preview, surveyReplacedIndexes(m_input), pattern.points);
            const double cruise = m_settings ? m_settings->getReal(keys::kCruiseSpeed) : 10.0;
            const SRouteStats stats =
                routeStats(preview, cruise, plan ? plan->photoDistanceM : 0, plan ? plan->laneSpacingM : 0);
            std::string text = routeStatsText(stats);
            if (plan) text += strprintf("，地面分辨率 %.2f 厘米/像素", plan->gsdCm);
            if (const auto tooMany =
                    checkSurveyWaypointCount(m_route.size(), surveyReplacedIndexes(m_input).size(), pattern.points.size()))
                text += "\n" + *tooMany;
            summary = QString::fromStdString(text);
        }
    }
    m_statsLabel->setText(summary);
    m_replanning = false;
}

std::optional<std::string> CSurveyDlg::checkPlan() const
{
    const std::optional<SSurveyCameraPlan> plan = cameraPlan();
    if (!plan) return std::nullopt;
    const double ceiling = m_settings ? m_settings->getReal(keys::kCeiling) : 10000.0;
    return checkSurveyPlan(m_frontOverlap->value(), m_sideOverlap->value(), m_input.spacingM, plan->footprintAcrossM,
                           plan->altitudeM, ceiling);
}

int CSurveyDlg::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

void CSurveyDlg::selectRow(int row)
{
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item) {
        m_list->clearSelection();
        return;
    }
    m_list->setCurrentItem(item);
    item->setSelected(true);
    m_list->scrollToItem(item);
}

void CSurveyDlg::pickCorner(ESurveyCorner corner)
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const std::optional<size_t> next = m_input.pickCorner(corner, m_route, static_cast<size_t>(row));
    if (!next)
        return;
    showCorners();
    replan();
    // Past the last row nothing stays selected.
    selectRow(*next < static_cast<size_t>(m_list->topLevelItemCount()) ? static_cast<int>(*next) : -1);
}

void CSurveyDlg::showCorners()
{
    for (int c = 0; c < 4; ++c)
        m_cornerEdits[c]->setText(QString::fromStdString(surveyCornerText(m_input.corners[c])));
}

void CSurveyDlg::readDistances()
{
    // An empty field counts as 0, which the range check refuses.
    m_input.extendM = m_extend->text().toInt();
    m_input.spacingM = m_spacing->text().toInt();
}

bool CSurveyDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && (watched == m_extend || watched == m_spacing))
        replan();
    return QDialog::eventFilter(watched, event);
}

void CSurveyDlg::generate()
{
    readDistances();
    std::optional<std::string> refusal = validateSurvey(m_input);
    if (!refusal) refusal = checkPlan();
    CSurveyPattern pattern;
    if (!refusal) {
        pattern = generateSurveyPattern(m_input, m_defaults, patternAltitude());
        if (!pattern.ok) refusal = pattern.message;
    }
    if (!refusal)
        refusal = checkSurveyWaypointCount(m_route.size(), surveyReplacedIndexes(m_input).size(), pattern.points.size());
    if (refusal) {
        messageBox(this, QString::fromStdString(*refusal));
        return;
    }
    if (m_settings && m_cameraGroup->isChecked()) { // the next survey starts from this one's camera
        CSettings writable(m_settings->path());
        writable.setText(keys::kSurveyCamera, m_cameraBox->currentText().toStdString());
        writable.setInt(keys::kFrontOverlap, m_frontOverlap->value());
        writable.setInt(keys::kSideOverlap, m_sideOverlap->value());
        writable.setInt(keys::kPortrait, m_orientation->currentIndex());
    }
    m_pattern = std::move(pattern);
    m_indexes = surveyReplacedIndexes(m_input);
    accept();
}

} // namespace orvex
