#include "app/route/SkyWayEditDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

#include "base/Settings.h"
#include "route/SurveyPlan.h"
#include "app/route/FieldCheck.h"
#include "app/route/NumericKeyFilter.h"
#include "app/route/SurveyDlg.h"
#include "route/SurveyGenerator.h"

namespace orvex {

namespace {

constexpr int kHiddenFieldMin = 0;
constexpr int kHiddenFieldMax = 65535;

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

QLineEdit* numberEdit(QWidget* parent, bool allowPeriod)
{
    auto* edit = new QLineEdit(parent);
    CNumericKeyFilter::install(edit, allowPeriod);
    return edit;
}

} // namespace

CSkyWayEditDlg::CSkyWayEditDlg(CSkyWay& route, const CSettings& settings, SActions actions, QWidget* parent)
    : QDialog(parent), m_route(route), m_actions(std::move(actions)), m_settings(settings)
{
    setWindowTitle(QStringLiteral("航线编辑"));
    setModal(true);
    buildControls();

    // Initial fields: position 0, the default altitude and the hidden values of WayPoint, no
    // circle time.
    m_fields.longitude = 0;
    m_fields.latitude = 0;
    m_fields.altitude = settings.getInt(keys::kAltitude);
    m_fields.turnAmount = settings.getInt(keys::kZhuanWanLiang);
    m_fields.servoAction = settings.getInt(keys::kZhiXingDuoJi);
    m_fields.delayTime = settings.getInt(keys::kDelayTime);
    m_fields.repeatTime = settings.getInt(keys::kRepeatTime);
    m_fields.circleTime = 0;
    m_longitude->setText(QStringLiteral("0"));
    m_latitude->setText(QStringLiteral("0"));
    m_altitude->setText(QString::number(m_fields.altitude));
    m_circleTime->setText(QStringLiteral("0"));
    m_turnAmount->setText(QString::number(m_fields.turnAmount));
    m_servoAction->setText(QString::number(m_fields.servoAction));
    m_delayTime->setText(QString::number(m_fields.delayTime));
    m_repeatTime->setText(QString::number(m_fields.repeatTime));

    m_route.forceFirstWaypointCircle();
    refill();
}

CSkyWayEditDlg::~CSkyWayEditDlg() = default;

void CSkyWayEditDlg::buildControls()
{
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setColumnCount(static_cast<int>(kRouteColumnTitles.size()));
    QStringList titles;
    for (const char* t : kRouteColumnTitles)
        titles << QString::fromUtf8(t);
    m_list->setHeaderLabels(titles);
    m_list->header()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_list->header()->setStretchLastSection(false);
    m_list->setMinimumHeight(220);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { loadSelected(); });

    m_longitude = numberEdit(this, true);
    m_latitude = numberEdit(this, true);
    m_altitude = numberEdit(this, false);
    m_circleTime = numberEdit(this, false);
    m_photo = new QComboBox(this);
    for (const char* t : kPhotoModeItems)
        m_photo->addItem(QString::fromUtf8(t));
    m_circle = new QComboBox(this);
    for (const char* t : kCircleItems)
        m_circle->addItem(QString::fromUtf8(t));
    m_allAltitudes = new QCheckBox(QStringLiteral("全部高度"), this);

    // The hidden "保留" fields keep the waypoint's other values.
    m_turnAmount = new QLineEdit(this);
    m_servoAction = new QLineEdit(this);
    m_delayTime = new QLineEdit(this);
    m_repeatTime = new QLineEdit(this);
    for (QLineEdit* hidden : {m_turnAmount, m_servoAction, m_delayTime, m_repeatTime})
        hidden->hide();

    for (QLineEdit* e : {m_longitude, m_latitude, m_altitude, m_circleTime}) {
        e->installEventFilter(this);
        e->setMinimumWidth(110);
        connect(e, &QLineEdit::editingFinished, this, &CSkyWayEditDlg::noteChange);
    }
    for (QComboBox* combo : {m_photo, m_circle})
        connect(combo, qOverload<int>(&QComboBox::activated), this, [this] {
            storeFields();
            noteChange();
        });

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("经度"), this), 0, 0);
    fields->addWidget(m_longitude, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("纬度"), this), 0, 2);
    fields->addWidget(m_latitude, 0, 3);
    fields->addWidget(new QLabel(QStringLiteral("高度"), this), 0, 4);
    fields->addWidget(m_altitude, 0, 5);
    fields->addWidget(m_allAltitudes, 0, 6);
    fields->addWidget(new QLabel(QStringLiteral("开始拍照"), this), 1, 0);
    fields->addWidget(m_photo, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("是否盘旋"), this), 1, 2);
    fields->addWidget(m_circle, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("制式时间"), this), 1, 4);
    fields->addWidget(m_circleTime, 1, 5);
    fields->addWidget(new QLabel(QStringLiteral("（填0为不限时）"), this), 1, 6);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setColumnStretch(5, 1);

    auto* buttons = new QHBoxLayout;
    const struct {
        const char* text;
        void (CSkyWayEditDlg::*slot)();
    } kButtons[] = {
        {"删除", &CSkyWayEditDlg::deleteSelected},
        {"上移", nullptr},
        {"下移", nullptr},
        {"加载", &CSkyWayEditDlg::loadRoute},
        {"保存", &CSkyWayEditDlg::saveRoute},
        {"上传", &CSkyWayEditDlg::upload},
        {"自动生成", &CSkyWayEditDlg::generate},
        {"确定", &CSkyWayEditDlg::ok},
    };
    for (const auto& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setAutoDefault(false);
        const QString text = button->text();
        if (text == QStringLiteral("上移"))
            connect(button, &QPushButton::clicked, this, [this] { moveSelected(true); });
        else if (text == QStringLiteral("下移"))
            connect(button, &QPushButton::clicked, this, [this] { moveSelected(false); });
        else
            connect(button, &QPushButton::clicked, this, b.slot);
        if (text == QStringLiteral("加载"))
            buttons->addSpacing(16);
        if (text == QStringLiteral("确定")) {
            buttons->addStretch(1);
            button->setDefault(true);
        }
        buttons->addWidget(button);
    }

    m_stats = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_stats);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(780, 480);
}

QPushButton* CSkyWayEditDlg::button(const QString& text) const
{
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

int CSkyWayEditDlg::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

void CSkyWayEditDlg::selectRow(int row)
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

void CSkyWayEditDlg::setRowTexts(int row, bool withLabel)
{
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item || !m_route.validIndex(row))
        return;
    const auto texts = routeRowTexts(m_route[static_cast<size_t>(row)], static_cast<size_t>(row));
    for (int c = withLabel ? 0 : 1; c < static_cast<int>(texts.size()); ++c) {
        item->setText(c, qs(texts[static_cast<size_t>(c)]));
        item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void CSkyWayEditDlg::refill()
{
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (size_t i = 0; i < m_route.size(); ++i) {
        new QTreeWidgetItem(m_list);
        setRowTexts(static_cast<int>(i), true);
    }
    if (!m_route.empty())
        selectRow(0);
    loadSelected();
    updateStats();
}

void CSkyWayEditDlg::updateStats()
{
    m_stats->setText(qs(routeStatsText(routeStats(m_route, m_settings.getReal(keys::kCruiseSpeed)))));
}

void CSkyWayEditDlg::reload()
{
    const int row = selectedRow();
    refill();
    if (row > 0 && m_route.validIndex(row))
        selectRow(row);
}

void CSkyWayEditDlg::noteChange()
{
    updateStats();
    if (m_actions.changed)
        m_actions.changed();
}

void CSkyWayEditDlg::layoutColumns()
{
    const int scrollBar = m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
    const int client = m_list->width() - 2 * m_list->frameWidth();
    const double w = static_cast<double>(client - scrollBar) / kRouteColumnUnitDivisor;
    for (size_t c = 0; c < kRouteColumnUnits.size(); ++c)
        m_list->setColumnWidth(static_cast<int>(c), static_cast<int>(kRouteColumnUnits[c] * w));
}

void CSkyWayEditDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    layoutColumns();
}

void CSkyWayEditDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutColumns();
}

void CSkyWayEditDlg::loadSelected()
{
    const int row = selectedRow();
    if (row < 0 || !m_route.validIndex(row))
        return;
    m_fields = CWayPointFields::of(m_route[static_cast<size_t>(row)]);
    m_loadingFields = true;
    m_longitude->setText(QString::asprintf("%f", m_fields.longitude));
    m_latitude->setText(QString::asprintf("%f", m_fields.latitude));
    m_altitude->setText(QString::number(m_fields.altitude));
    m_photo->setCurrentIndex(m_fields.photoItem);
    m_circle->setCurrentIndex(m_fields.circleItem);
    m_circleTime->setText(QString::number(m_fields.circleTime));
    m_turnAmount->setText(QString::number(m_fields.turnAmount));
    m_servoAction->setText(QString::number(m_fields.servoAction));
    m_delayTime->setText(QString::number(m_fields.delayTime));
    m_repeatTime->setText(QString::number(m_fields.repeatTime));
    m_loadingFields = false;
}

bool CSkyWayEditDlg::readFields()
{
    CWayPointFields f = m_fields;
    if (!readRealField(this, m_longitude, kLongitudeMin, kLongitudeMax, f.longitude) ||
        !readRealField(this, m_latitude, kLatitudeMin, kLatitudeMax, f.latitude) ||
        !readIntField(this, m_altitude, kAltitudeFieldMin, kAltitudeFieldMax, f.altitude) ||
        !readIntField(this, m_circleTime, kCircleTimeFieldMin, kCircleTimeFieldMax, f.circleTime) ||
        !readIntField(this, m_turnAmount, kHiddenFieldMin, kHiddenFieldMax, f.turnAmount) ||
        !readIntField(this, m_servoAction, kHiddenFieldMin, kHiddenFieldMax, f.servoAction) ||
        !readIntField(this, m_delayTime, kHiddenFieldMin, kHiddenFieldMax, f.delayTime) ||
        !readIntField(this, m_repeatTime, kHiddenFieldMin, kHiddenFieldMax, f.repeatTime))
        return false;
    f.photoItem = m_photo->currentIndex();
    f.circleItem = m_circle->currentIndex();
    m_fields = f;
    return true;
}

void CSkyWayEditDlg::storeFields()
{
    if (m_loadingFields)
        return;
    if (!readFields()) {
        // Refused: the fields show what the route holds again.
        loadSelected();
        return;
    }
    const int row = selectedRow();
    if (row < 0 || !orvex::storeFields(m_route, static_cast<size_t>(row), m_fields, m_allAltitudes->isChecked()))
        return;
    if (m_allAltitudes->isChecked()) {
        for (int r = 0; r < m_list->topLevelItemCount(); ++r)
            setRowTexts(r, false);
    } else {
        setRowTexts(row, false);
    }
}

bool CSkyWayEditDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease &&
        (watched == m_longitude || watched == m_latitude || watched == m_altitude || watched == m_circleTime))
        storeFields();
    return QDialog::eventFilter(watched, event);
}

void CSkyWayEditDlg::deleteSelected()
{
    const int row = selectedRow();
    if (row < 0 || !m_route.removeAt(static_cast<size_t>(row)))
        return;
    // The other rows keep their labels until the list is filled again.
    const QSignalBlocker block(m_list);
    delete m_list->takeTopLevelItem(row);
    m_list->clearSelection();
    noteChange();
}

void CSkyWayEditDlg::moveSelected(bool up)
{
    const int row = selectedRow();
    if (row < 0 || !m_route.validIndex(row))
        return;
    const size_t to = up ? moveWaypointUp(m_route, static_cast<size_t>(row))
                         : moveWaypointDown(m_route, static_cast<size_t>(row));
    if (to == static_cast<size_t>(row))
        return;
    setRowTexts(row, true);
    setRowTexts(static_cast<int>(to), true);
    selectRow(static_cast<int>(to));
    noteChange();
}

void CSkyWayEditDlg::loadRoute()
{
    if (m_actions.load)
        m_actions.load();
    refill();
    noteChange();
}

void CSkyWayEditDlg::saveRoute()
{
    if (m_actions.save)
        m_actions.save();
}

void CSkyWayEditDlg::upload()
{
    if (m_actions.upload)
        m_actions.upload();
    // The upload writes circle flag 1 and time 0 into the first waypoint.
    const QSignalBlocker block(m_list);
    for (int r = 0; r < m_list->topLevelItemCount(); ++r)
        setRowTexts(r, false);
    loadSelected();
}

void CSkyWayEditDlg::generate()
{
    CSurveyDlg survey(m_route, CWayPointDefaults::fromSettings(m_settings), m_fields.altitude, this, &m_settings);
    const int result = m_surveyRunner ? m_surveyRunner(survey) : survey.exec();
    if (result != QDialog::Accepted || !survey.pattern().ok)
        return;
    spliceSurveyPattern(m_route, survey.replacedIndexes(), survey.pattern().points);
    m_generated = true;
    noteChange();
    accept();
}

void CSkyWayEditDlg::ok()
{
    if (selectedRow() >= 0) {
        if (!readFields())
            return;
        orvex::storeFields(m_route, static_cast<size_t>(selectedRow()), m_fields, m_allAltitudes->isChecked());
    }
    noteChange();
    accept();
}

} // namespace orvex
