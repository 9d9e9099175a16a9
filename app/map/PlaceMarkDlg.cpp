#include "app/map/PlaceMarkDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

CPlaceMarkDlg::CPlaceMarkDlg(QWidget* parent, int mode) : QDialog(parent), m_mode(mode), m_edit(new QLineEdit(this))
{
    setWindowTitle(mode == kSearchMode ? QStringLiteral("位置搜索") : QStringLiteral("标注"));
    m_edit->setObjectName(QStringLiteral("edit1069"));
    m_edit->setMinimumWidth(240);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The box says what to type.
    auto* label = new QLabel(mode == kSearchMode ? QStringLiteral("地名，或坐标“纬度,经度”：") : QStringLiteral("标注名称："), this);
    label->setBuddy(m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

QString CPlaceMarkDlg::name() const
{
    return m_edit->text();
}

void CPlaceMarkDlg::setName(const QString& name)
{
    m_edit->setText(name);
    m_edit->selectAll();
}

} // namespace orvex
