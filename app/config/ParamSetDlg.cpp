#include "app/config/ParamSetDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"

namespace orvex {

namespace {

constexpr int kEditColumns = 3;
constexpr int kEditWidthPx = 70;
constexpr const char* kRestoreQuestion = "恢复默认参数?";
constexpr const char* kNotice = "注意：进入设置模式后，设置下面参数";

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CParamSetDlg::CParamSetDlg(CGroundStation& station, QWidget* parent) : QDialog(parent), m_station(station)
{
    setWindowTitle(QStringLiteral("参数设置"));
    auto* root = new QVBoxLayout(this);

    // The eighteen edits, three label/edit pairs a row, in the dialog's order.
    auto* edits = new QGridLayout;
    for (std::size_t i = 0; i < kParamEditCount; ++i) {
        const auto which = static_cast<EParamEdit>(i);
        auto* label = new QLabel(qs(paramEditLabel(which)), this);
        auto* box = new QLineEdit(this);
        box->setFixedWidth(kEditWidthPx);
        box->setObjectName(qs(paramEditLabel(which)));
        label->setBuddy(box);
        m_edits[i] = box;
        connect(box, &QLineEdit::textChanged, this, &CParamSetDlg::updateSendEnabled);
        const int row = static_cast<int>(i) / kEditColumns;
        const int col = (static_cast<int>(i) % kEditColumns) * 2;
        edits->addWidget(label, row, col, Qt::AlignRight);
        edits->addWidget(box, row, col + 1);
    }
    root->addLayout(edits);

    const auto makeCombo = [this](EParamCombo which) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(qs(paramComboLabel(which)));
        for (std::string_view item : paramComboItems(which))
            combo->addItem(qs(item));
        combo->setCurrentIndex(0);
        m_combos[static_cast<std::size_t>(which)] = combo;
        return combo;
    };
    const auto labelFor = [this](EParamCombo which) { return new QLabel(qs(paramComboLabel(which)), this); };

    // "最大速度" with its custom-speed edit, then the two switches and the overload setting.
    auto* upper = new QGridLayout;
    upper->addWidget(labelFor(EParamCombo::MaxSpeed), 0, 0, Qt::AlignRight);
    upper->addWidget(makeCombo(EParamCombo::MaxSpeed), 0, 1);
    m_customSpeed = new QLineEdit(this);
    m_customSpeed->setObjectName(QStringLiteral("customSpeed"));
    m_customSpeed->setFixedWidth(kEditWidthPx);
    m_customSpeed->setToolTip(QStringLiteral("米/秒"));
    upper->addWidget(m_customSpeed, 0, 2);
    upper->addWidget(labelFor(EParamCombo::StickEnable), 1, 0, Qt::AlignRight);
    upper->addWidget(makeCombo(EParamCombo::StickEnable), 1, 1);
    upper->addWidget(labelFor(EParamCombo::StartProtection), 1, 3, Qt::AlignRight);
    upper->addWidget(makeCombo(EParamCombo::StartProtection), 1, 4);
    upper->addWidget(labelFor(EParamCombo::Overload), 2, 0, Qt::AlignRight);
    upper->addWidget(makeCombo(EParamCombo::Overload), 2, 1);
    upper->setColumnStretch(5, 1);
    root->addLayout(upper);

    // The settings that need the flight controller's setup mode, under their notice.
    auto* setup = new QGroupBox(this);
    auto* setupLayout = new QGridLayout(setup);
    m_notice = new QLabel(QString::fromUtf8(kNotice), setup);
    setupLayout->addWidget(m_notice, 0, 0, 1, 4);
    setupLayout->addWidget(labelFor(EParamCombo::RemoteMode), 1, 0, Qt::AlignRight);
    setupLayout->addWidget(makeCombo(EParamCombo::RemoteMode), 1, 1);
    setupLayout->addWidget(labelFor(EParamCombo::VoltageAlarm), 1, 2, Qt::AlignRight);
    setupLayout->addWidget(makeCombo(EParamCombo::VoltageAlarm), 1, 3);
    setupLayout->addWidget(labelFor(EParamCombo::ServoRate), 2, 0, Qt::AlignRight);
    setupLayout->addWidget(makeCombo(EParamCombo::ServoRate), 2, 1);
    setupLayout->addWidget(labelFor(EParamCombo::EscType), 2, 2, Qt::AlignRight);
    setupLayout->addWidget(makeCombo(EParamCombo::EscType), 2, 3);
    root->addWidget(setup);

    auto* buttons = new QHBoxLayout;
    m_fetch = new QPushButton(QStringLiteral("获取"), this);
    m_send = new QPushButton(QStringLiteral("发送"), this);
    m_restore = new QPushButton(QStringLiteral("恢复参数"), this);
    for (QPushButton* b : {m_fetch, m_send, m_restore}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    root->addLayout(buttons);

    connect(m_fetch, &QPushButton::clicked, this, &CParamSetDlg::fetch);
    connect(m_send, &QPushButton::clicked, this, &CParamSetDlg::send);
    connect(m_restore, &QPushButton::clicked, this, &CParamSetDlg::restoreDefaults);
    connect(combo(EParamCombo::MaxSpeed), &QComboBox::currentIndexChanged, this,
            &CParamSetDlg::updateCustomSpeedVisibility);
    connect(m_customSpeed, &QLineEdit::textChanged, this, &CParamSetDlg::updateSendEnabled);
    updateCustomSpeedVisibility();

    m_station.configDialogs().setParameterView(this);
}

CParamSetDlg::~CParamSetDlg()
{
    if (m_station.configDialogs().parameterView() == this)
        m_station.configDialogs().setParameterView(nullptr);
}

void CParamSetDlg::updateCustomSpeedVisibility()
{
    m_customSpeed->setVisible(combo(EParamCombo::MaxSpeed)->currentIndex() == kMaxSpeedCustomItem);
    updateSendEnabled();
}

void CParamSetDlg::updateSendEnabled()
{
    if (m_send)
        m_send->setEnabled(m_readBack || paramFormFilled(form()));
}

SParamSetForm CParamSetDlg::form() const
{
    SParamSetForm f;
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        f.edits[i] = m_edits[i]->text().toStdString();
    for (std::size_t i = 0; i < kParamComboCount; ++i)
        f.combos[i] = m_combos[i]->currentIndex();
    f.customSpeed = m_customSpeed->text().toStdString();
    return f;
}

void CParamSetDlg::setForm(const SParamSetForm& f)
{
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        m_edits[i]->setText(QString::fromStdString(f.edits[i]));
    for (std::size_t i = 0; i < kParamComboCount; ++i)
        if (f.combos[i] >= 0 && f.combos[i] < m_combos[i]->count())
            m_combos[i]->setCurrentIndex(f.combos[i]);
    m_customSpeed->setText(QString::fromStdString(f.customSpeed));
    updateCustomSpeedVisibility();
}

void CParamSetDlg::showParameterValues(const SParameterValues& values)
{
    SParamSetForm f = form();
    applyParameterValues(values, f);
    m_readBack = true;
    setForm(f);
}

void CParamSetDlg::fetch()
{
    m_station.uplink().sendOnBothLinks(uplink::parameterRequest());
}

void CParamSetDlg::send()
{
    const SParamSetForm f = form();
    if (const std::optional<std::string> refusal = checkParamForm(f)) {
        messageBox(this, QString::fromStdString(*refusal));
        return;
    }
    if (!askYesNo(this, qs(kWriteParametersQuestion), {}, false))
        return;
    m_station.uplink().sendOnBothLinks(parameterWriteFrame(f));
}

void CParamSetDlg::restoreDefaults()
{
    if (!askYesNoWithoutIcon(this, QString::fromUtf8(kRestoreQuestion)))
        return;
    m_station.uplink().sendOnBothLinks(uplink::defaultParameterReset());
    // The read-back follows on a timer, so the window keeps working meanwhile. It belongs to this
    // dialog: once the dialog is gone its answer could not be shown, and it is not sent.
    QTimer::singleShot(kDefaultResetRequestDelayMs, this, &CParamSetDlg::fetch);
}

} // namespace orvex
