#include "app/options/Options.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QVBoxLayout>

#include <charconv>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "link/ComConfig.h"
#include "app/options/PortConfigDlg.h"

namespace orvex {

std::vector<SSerialPortEntry> systemSerialPorts()
{
    std::vector<SSerialPortEntry> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.push_back({info.portName().toStdString(), info.systemLocation().toStdString()});
    return ports;
}

// ------------------------------------------------------------------ serial port page

COptComDlg::COptComDlg(CSettings& settings, PortEnumerator enumerate, QWidget* parent)
    : QWidget(parent), m_settings(settings),
      // The page reads COMPORT with no default: with nothing stored no port counts as the stored
      // one and the bottom entry (the first port enumerated) is selected, not a "COM1" that happens
      // to be present.
      m_choice(enumerate ? enumerate() : std::vector<SSerialPortEntry>{},
               settings.getText(SettingKey{keys::kComPort.section, keys::kComPort.key, ""}))
{
    setObjectName(QStringLiteral("COptComDlg"));
    m_configurator = [](QWidget* p, const QString& port, const CComConfig& config) -> std::optional<CComConfig> {
        CPortConfigDlg dlg(port, config, p);
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        return dlg.config();
    };

    m_portBox = new QComboBox(this);
    m_portBox->setObjectName(QStringLiteral("portBox"));
    m_portBox->setMinimumWidth(160);
    for (const SSerialPortEntry& e : m_choice.entries()) {
        m_portBox->addItem(QString::fromStdString(e.portName), QString::fromStdString(e.deviceName));
        m_portBox->setItemData(m_portBox->count() - 1, QString::fromStdString(e.deviceName), Qt::ToolTipRole);
    }
    m_portBox->setCurrentIndex(m_choice.selectedIndex());
    // Editable: a device path the system does not enumerate can be typed in.
    m_portBox->setEditable(true);
    m_portBox->setInsertPolicy(QComboBox::NoInsert);
    if (!m_choice.typedPort().empty())
        m_portBox->setEditText(QString::fromStdString(m_choice.typedPort()));
    connect(m_portBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_choice.select(index);
        emit changed();
    });
    connect(m_portBox, &QComboBox::editTextChanged, this, [this](const QString& text) {
        m_choice.type(text.toStdString());
        emit changed();
    });

    m_configure = new QPushButton(QStringLiteral("配置"), this);
    m_configure->setObjectName(QStringLiteral("configureButton"));
    connect(m_configure, &QPushButton::clicked, this, &COptComDlg::configure);

    auto* group = new QGroupBox(QStringLiteral("飞控串口"), this);
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("串口:"), group));
    row->addWidget(m_portBox, 1);
    row->addWidget(m_configure);
    auto* hint = new QLabel(QStringLiteral("设置在下次打开串口时生效。"), this);
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(hint);
    layout->addStretch(1);
}

void COptComDlg::configure()
{
    if (m_choice.selectedPort().empty())
        return;
    const std::optional<std::vector<std::uint8_t>> saved = m_settings.getBinary(keys::kComConf);
    const CComConfig config = saved ? CComConfig::fromSaved(*saved) : CComConfig();
    const QString port = QString::fromStdString(m_choice.selectedPort());
    if (const std::optional<CComConfig> confirmed = m_configurator(this, port, config))
        m_settings.setBinary(keys::kComConf, confirmed->bytes());
}

bool COptComDlg::apply()
{
    if (m_choice.selectedPort().empty())
        return true;
    m_settings.setText(keys::kComPort, m_choice.selectedPort());
    return true;
}

// ------------------------------------------------------------------ waypoint defaults page

namespace {

struct SFieldLabel {
    EWayPointField field;
    const char* label;
    const char* unit;
};

constexpr SFieldLabel kVisible[] = {
    {EWayPointField::Altitude, "默认高度", "米"},
    {EWayPointField::AltitudeGps, "GPS 高度修正", "米"},
};
constexpr SFieldLabel kHidden[] = {
    {EWayPointField::Speed, "速度", ""},
    {EWayPointField::ZhuanWanLiang, "转弯量", ""},
    {EWayPointField::ZhiShiHangXian, "指示航线", ""},
    {EWayPointField::ZhiShiShiJian, "指示时间", ""},
    {EWayPointField::ZhiXingDuoJi, "执行舵机", ""},
    {EWayPointField::DelayTime, "延时时间", ""},
    {EWayPointField::RepeatTime, "重复时间", ""},
};

// A decimal integer as a dialog field reads it: blanks around, an optional sign, digits.
std::optional<long long> parseField(const QString& text)
{
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return std::nullopt;
    const char* begin = s.data();
    if (*begin == '+')
        ++begin;
    long long value = 0;
    const auto result = std::from_chars(begin, s.data() + s.size(), value);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

} // namespace

COptWayPoint::COptWayPoint(CSettings& settings, QWidget* parent) : QWidget(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("COptWayPoint"));
    const CWayPointOptionValues values = CWayPointOptionValues::load(settings);
    m_fields.assign(kWayPointFieldCount, nullptr);

    auto makeField = [this, &values](EWayPointField f, QWidget* owner) {
        auto* edit = new QLineEdit(QString::number(values.value(f)), owner);
        edit->setObjectName(QStringLiteral("field%1").arg(static_cast<int>(f)));
        edit->setMaximumWidth(120);
        connect(edit, &QLineEdit::textEdited, this, &COptWayPoint::changed);
        m_fields[static_cast<std::size_t>(f)] = edit;
        return edit;
    };

    auto* visible = new QGroupBox(QStringLiteral("航点高度"), this);
    auto* grid = new QGridLayout(visible);
    int row = 0;
    for (const SFieldLabel& l : kVisible) {
        grid->addWidget(new QLabel(QString::fromUtf8(l.label), visible), row, 0);
        grid->addWidget(makeField(l.field, visible), row, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(l.unit), visible), row, 2);
        ++row;
    }
    grid->setColumnStretch(3, 1);

    // Fields without a control of their own on the page: kept hidden, and shown only when one of
    // them holds a value that must be corrected before the page can be applied.
    m_hidden = new QGroupBox(QStringLiteral("航点其他默认值"), this);
    m_hidden->setObjectName(QStringLiteral("hiddenGroup"));
    auto* hiddenGrid = new QGridLayout(m_hidden);
    row = 0;
    for (const SFieldLabel& l : kHidden) {
        hiddenGrid->addWidget(new QLabel(QString::fromUtf8(l.label), m_hidden), row / 2, (row % 2) * 2);
        hiddenGrid->addWidget(makeField(l.field, m_hidden), row / 2, (row % 2) * 2 + 1);
        ++row;
    }
    m_fenPin = new QComboBox(m_hidden);
    m_fenPin->setObjectName(QStringLiteral("fenPinBox"));
    for (int i = 1; i <= CWayPointOptionValues::kFenPinChoices; ++i)
        m_fenPin->addItem(QString::number(i));
    m_fenPin->setCurrentIndex(values.fenPinSelection());
    connect(m_fenPin, &QComboBox::currentIndexChanged, this, &COptWayPoint::changed);
    hiddenGrid->addWidget(new QLabel(QStringLiteral("分频"), m_hidden), row / 2, (row % 2) * 2);
    hiddenGrid->addWidget(m_fenPin, row / 2, (row % 2) * 2 + 1);
    m_hidden->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(visible);
    layout->addWidget(m_hidden);
    layout->addStretch(1);
}

QLineEdit* COptWayPoint::field(EWayPointField f) const
{
    return f == EWayPointField::FenPin ? nullptr : m_fields[static_cast<std::size_t>(f)];
}

bool COptWayPoint::readFields(CWayPointOptionValues& out)
{
    for (const SWayPointFieldInfo& info : wayPointFields()) {
        if (info.field == EWayPointField::FenPin) {
            out.setFenPinSelection(m_fenPin->currentIndex());
            continue;
        }
        QLineEdit* edit = field(info.field);
        const std::optional<long long> v = parseField(edit->text());
        if (!v) {
            if (info.hidden)
                m_hidden->show();
            messageBox(this, QStringLiteral("请输入一个整数。"));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        out.setValue(info.field, *v);
    }
    return true;
}

bool COptWayPoint::apply()
{
    CWayPointOptionValues values;
    if (!readFields(values))
        return false;
    if (const std::optional<EWayPointField> bad = values.firstInvalid()) {
        const SWayPointFieldInfo& info = wayPointFields()[static_cast<std::size_t>(*bad)];
        if (info.hidden)
            m_hidden->show();
        messageBox(this, QString::fromStdString(CWayPointOptionValues::rangeMessage(*bad)));
        if (QLineEdit* edit = field(*bad)) {
            edit->setFocus();
            edit->selectAll();
        } else {
            m_fenPin->setFocus();
        }
        return false;
    }
    values.save(m_settings);
    return true;
}

// ------------------------------------------------------------------ the sheet

COptions::COptions(CGroundStation& station, PortEnumerator enumerate, QWidget* parent)
    : QDialog(parent), m_station(station)
{
    setObjectName(QStringLiteral("COptions"));
    setWindowTitle(QStringLiteral("选项"));
    m_tabs = new QTabWidget(this);
    m_comPage = new COptComDlg(station.settings(), std::move(enumerate), m_tabs);
    m_wayPointPage = new COptWayPoint(station.settings(), m_tabs);
    m_tabs->addTab(m_comPage, QStringLiteral("串口设置"));
    m_tabs->addTab(m_wayPointPage, QStringLiteral("高度设置"));

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    m_apply = new QPushButton(QStringLiteral("应用(&A)"), this);
    m_apply->setObjectName(QStringLiteral("applyButton"));
    m_apply->setEnabled(false);
    connect(ok, &QPushButton::clicked, this, &COptions::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (applyAll())
            m_apply->setEnabled(false);
    });
    connect(m_comPage, &COptComDlg::changed, this, [this] { m_apply->setEnabled(true); });
    connect(m_wayPointPage, &COptWayPoint::changed, this, [this] { m_apply->setEnabled(true); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(m_apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    setMinimumSize(420, 300);
}

bool COptions::applyAll()
{
    if (!m_comPage->apply()) {
        m_tabs->setCurrentWidget(m_comPage);
        return false;
    }
    if (!m_wayPointPage->apply()) {
        m_tabs->setCurrentWidget(m_wayPointPage);
        return false;
    }
    m_station.rereadWayPointSettings();
    return true;
}

void COptions::accept()
{
    if (applyAll())
        QDialog::accept();
}

} // namespace orvex
