#include "app/mainframe/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "OrvexVersion.h"
#include "app/mainframe/Artwork.h"

namespace orvex {

QString CAboutDlg::aboutText()
{
    return QStringLiteral("Orvex 无人机地面站%1 版").arg(QLatin1String(kVersion));
}

CAboutDlg::CAboutDlg(QWidget* parent, const QString& dataFolder) : QDialog(parent)
{
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(aboutText());
    setModal(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(48, 48));
    auto* text = new QLabel(aboutText(), this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addSpacing(12);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addLayout(row);
    if (!dataFolder.isEmpty()) {
        auto* folder = new QLabel(QStringLiteral("数据文件夹：%1").arg(dataFolder), this);
        folder->setObjectName(QStringLiteral("dataFolder"));
        folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(folder);
    }
    setFixedSize(sizeHint().expandedTo(QSize(360, 90)));
}

} // namespace orvex
