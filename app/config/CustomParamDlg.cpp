#include "app/config/CustomParamDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"

namespace orvex {

namespace {
constexpr int kCellWidthPx = 64;
}

CCustomParamDlg::CCustomParamDlg(CGroundStation& station, QWidget* parent) : QDialog(parent), m_station(station)
{
    setWindowTitle(QStringLiteral("自定义参数"));
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int c = 0; c < kMixingColumns; ++c) {
        const std::string_view label = mixingColumnLabel(c);
        grid->addWidget(new QLabel(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())), this), 0,
                        c + 1, Qt::AlignCenter);
    }
    for (int m = 0; m < kMixingMotors; ++m) {
        grid->addWidget(new QLabel(QStringLiteral("M%1").arg(m + 1), this), m + 1, 0, Qt::AlignRight);
        for (int c = 0; c < kMixingColumns; ++c) {
            auto* box = new QLineEdit(this);
            box->setFixedWidth(kCellWidthPx);
            box->setObjectName(QStringLiteral("M%1_%2").arg(m + 1).arg(c));
            m_cells[mixingIndex(c, m)] = box;
            connect(box, &QLineEdit::textChanged, this, &CCustomParamDlg::updateSendEnabled);
            grid->addWidget(box, m + 1, c + 1);
        }
    }
    root->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    m_fetch = new QPushButton(QStringLiteral("获取"), this);
    m_send = new QPushButton(QStringLiteral("发送"), this);
    for (QPushButton* b : {m_fetch, m_send}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root->addLayout(buttons);

    connect(m_fetch, &QPushButton::clicked, this, &CCustomParamDlg::fetch);
    connect(m_send, &QPushButton::clicked, this, &CCustomParamDlg::send);
    updateSendEnabled();

    m_station.configDialogs().setCustomParameterView(this);
}

CCustomParamDlg::~CCustomParamDlg()
{
    if (m_station.configDialogs().customParameterView() == this)
        m_station.configDialogs().setCustomParameterView(nullptr);
}

MixingTexts CCustomParamDlg::texts() const
{
    MixingTexts t;
    for (std::size_t i = 0; i < kMixingValues; ++i)
        t[i] = m_cells[i]->text().toStdString();
    return t;
}

void CCustomParamDlg::setTexts(const MixingTexts& t)
{
    for (std::size_t i = 0; i < kMixingValues; ++i)
        m_cells[i]->setText(QString::fromStdString(t[i]));
}

void CCustomParamDlg::showCustomParameters(const SCustomParameters& parameters)
{
    m_readBack = true;
    setTexts(mixingTexts(parameters));
}

void CCustomParamDlg::updateSendEnabled()
{
    if (m_send)
        m_send->setEnabled(m_readBack || mixingTextsFilled(texts()));
}

void CCustomParamDlg::fetch()
{
    m_station.uplink().sendOnBothLinks(uplink::commandCode(kCommandCustomRequest));
}

void CCustomParamDlg::send()
{
    const MixingTexts t = texts();
    if (const std::optional<std::string> refusal = checkMixingTexts(t)) {
        messageBox(this, QString::fromStdString(*refusal));
        return;
    }
    if (!askYesNo(this, QString::fromUtf8(kWriteParametersQuestion.data(), static_cast<qsizetype>(kWriteParametersQuestion.size())),
                  {}, false))
        return;
    for (const uplink::Frame& frame : mixingWriteFrames(t))
        m_station.uplink().sendOnBothLinks(frame);
}

} // namespace orvex
