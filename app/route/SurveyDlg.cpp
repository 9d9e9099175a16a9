#include "route/SurveyDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/MessageBox.h"
#include "util/Format.h"

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

CSurveyDlg::CSurveyDlg(const CSkyWay& route, const CWayPointDefaults& defaults, int altitude, QWidget* parent)
    : QDialog(parent), m_route(route), m_defaults(defaults), m_altitude(altitude)
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

    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addStretch(1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(right);
    resize(720, 340);
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
        readDistances();
    return QDialog::eventFilter(watched, event);
}

void CSurveyDlg::generate()
{
    readDistances();
    if (const auto refusal = validateSurvey(m_input)) {
        messageBox(this, QString::fromStdString(*refusal));
        return;
    }
    CSurveyPattern pattern = generateSurveyPattern(m_input, m_defaults, m_altitude);
    if (!pattern.ok) {
        messageBox(this, QString::fromStdString(pattern.message));
        return;
    }
    m_pattern = std::move(pattern);
    m_indexes = surveyReplacedIndexes(m_input);
    accept();
}

} // namespace orvex
