#include "app/panels/DataPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/panels/ValueBox.h"

namespace orvex {

CDataPage::CDataPage(const char* objectName, std::span<const SBox> boxes, std::span<const char* const> groupTitles,
                     QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QString::fromUtf8(objectName));
    applyPanelLook(this);
    const auto grid = [] {
        auto* g = new QGridLayout;
        g->setHorizontalSpacing(6);
        g->setVerticalSpacing(3);
        return g;
    };
    std::vector<QGridLayout*> grids{grid()};
    for (std::size_t i = 0; i < groupTitles.size(); ++i)
        grids.push_back(grid());
    for (const SBox& b : boxes)
        m_boxes[b.id] = addLabelledBox(grids.at(std::size_t(b.group)), b.row, b.col, QString::fromUtf8(b.label), b.id,
                                       QString::fromUtf8(b.sample));

    if (groupTitles.empty()) {
        // The rows sit in the middle of the bar, level with the rows of a page with groups.
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(6, 4, 6, 4);
        column->addStretch(1);
        column->addLayout(grids[0]);
        column->addStretch(1);
        return;
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->addLayout(grids[0], 4);
    for (std::size_t i = 0; i < groupTitles.size(); ++i) {
        auto* group = new QGroupBox(QString::fromUtf8(groupTitles[i]));
        grids[i + 1]->setContentsMargins(6, 4, 6, 4);
        group->setLayout(grids[i + 1]);
        row->addWidget(group, 1);
    }
}

CValueBox* CDataPage::box(int controlId) const
{
    const auto it = m_boxes.find(controlId);
    return it == m_boxes.end() ? nullptr : it->second;
}

void CDataPage::refresh(std::span<const std::uint8_t> record)
{
    if (record.size() != kPanelRecordSize) return;
    for (const auto& [id, value] : values(PanelRecordBytes(record.data(), kPanelRecordSize)))
        m_boxes.at(id)->setBox(value);
    ++m_refreshCount;
}

void CDataPage::setStale(bool stale)
{
    for (const auto& [id, box] : m_boxes)
        box->setStale(stale);
}

} // namespace orvex
