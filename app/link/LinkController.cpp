#include "app/link/LinkController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QFile>
#include <QLabel>
#include <QFileDialog>
#include <QSlider>
#include <QToolBar>

#include "app/shell/Commands.h"
#include "base/DialogFolders.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "link/ComConfig.h"
#include "app/link/LinkStatsDlg.h"
#include "link/LinkWatch.h"
#include "app/mainframe/MainFrame.h"

namespace orvex {

CLinkController::CLinkController(CGroundStation& station, CCommandTable& commands, CMainFrame& frame,
                                 QObject* parent)
    : QObject(parent), m_station(station), m_commands(commands), m_frame(frame)
{
    m_station.setLinkHooks(this);
    m_station.attachLink(m_serial);
    m_station.attachLink(m_udp);
    connect(&m_serial, &CSerialTransport::readFailed, this,
            [this] { onSerialFailure(kSerialReadFailedMessage); });
    connect(&m_serial, &CSerialTransport::writeFailed, this,
            [this] { onSerialFailure(kSerialWriteFailedMessage); });

    m_replayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_replayTimer, &QTimer::timeout, this, &CLinkController::onReplayTick);
    connect(&m_frame, &CMainFrame::replaySpeedChanged, this, [this](int ms) {
        if (m_replayTimer.isActive()) m_replayTimer.start(ms);
    });
    connect(&m_frame, &CMainFrame::replaySeekRequested, this, [this](int position) {
        if (const std::optional<int> progress = m_station.replaySeek(position)) {
            m_frame.progressSlider()->setValue(*progress);
            // A seek back from the end plays on.
            if (!m_replayTimer.isActive() && !m_station.replayAtEnd())
                m_replayTimer.start(m_station.replayIntervalMs());
        }
        showReplayClock();
    });
    m_frame.setWifiStopHook([this] { m_udp.stop(); });

    m_commands.setHandler(cmd::kOpenSerial, [this] { openSerial(); });
    m_commands.setHandler(cmd::kOpenWifi, [this] { activateWifi(); });
    m_commands.setHandler(cmd::kCloseLink, [this] { closeLink(); });
    m_commands.setHandler(cmd::kReplay, [this] { chooseReplayFile(); });

    // The link panes: the outage (red while the link is lost) and the record rate.
    m_outagePane = new QLabel(&m_frame);
    m_outagePane->setObjectName(QStringLiteral("linkOutagePane"));
    m_ratePane = new QLabel(&m_frame);
    m_ratePane->setObjectName(QStringLiteral("linkRatePane"));
    for (QLabel* pane : {m_ratePane, m_outagePane}) {
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->hide();
        m_frame.statusBar()->addPermanentWidget(pane);
    }
    connect(&m_frame, &CMainFrame::linkHealthChanged, this, &CLinkController::showLinkPanes);
    connect(&m_linkWatchTimer, &QTimer::timeout, this, [this] { m_station.linkWatchTick(); });
    m_linkWatchTimer.start(kLinkWatchTimerMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CLinkController::onReconnectPoll);
    // "关闭连接(&C)" also ends the wait for the serial device to come back.
    m_commands.setEnabledRule(cmd::kCloseLink, [this] { return m_station.anyLinkOpen() || reconnecting(); });
    for (QAction* menu : m_frame.menuBar()->actions()) {
        if (menu->text() != QStringLiteral("连接(&L)") || !menu->menu()) continue;
        menu->menu()->addSeparator();
        connect(menu->menu()->addAction(QStringLiteral("链路统计")), &QAction::triggered, this,
                &CLinkController::showLinkStats);
    }
}

CLinkController::~CLinkController()
{
    m_station.setLinkHooks(nullptr);
    m_station.detachLink(m_serial);
    m_station.detachLink(m_udp);
}

QHostAddress CLinkController::wifiAddress() const
{
    const std::string override = m_station.endpoints().wifiAddressOverride;
    const std::string text = override.empty() ? m_station.settings().getText(keys::kWifiAddress) : override;
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(text)))
        address.setAddress(QString::fromUtf8(keys::kWifiAddress.defaultValue));
    return address;
}

bool CLinkController::startWifiTransport()
{
    const auto& ends = m_station.endpoints();
    return m_udp.start(quint16(ends.udpLocalPort), wifiAddress(), quint16(ends.wifiRemotePort));
}

void CLinkController::syncWifi()
{
    m_udp.setActive(m_station.wifiActive());
}

void CLinkController::liveLayout()
{
    m_frame.playbackBar()->hide();
    m_frame.barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kShow);
}

void CLinkController::openSerial()
{
    cancelReconnect();
    const std::string override = m_station.endpoints().serialPortOverride;
    const QString port =
        QString::fromStdString(override.empty() ? m_station.settings().getText(keys::kComPort) : override);
    const std::vector<std::uint8_t> comconf =
        m_station.settings().getBinary(keys::kComConf).value_or(std::vector<std::uint8_t>{});
    const bool opened = m_station.openSerialLink([&] { return m_serial.open(port, comconf); });
    syncWifi();
    if (!opened) {
        messageBox(&m_frame, QString::fromUtf8(kSerialOpenFailedMessage), {}, EBoxIcon::Stop);
        m_commands.updateActions();
        return;
    }
    liveLayout();
    m_commands.updateActions();
}

void CLinkController::activateWifi()
{
    cancelReconnect();
    m_udp.setRemote(wifiAddress(), quint16(m_station.endpoints().wifiRemotePort));
    m_station.activateWifiLink();
    syncWifi();
    liveLayout();
    m_commands.updateActions();
}

void CLinkController::closeLink()
{
    cancelReconnect();
    m_station.closeLink();
    syncWifi();
    m_commands.updateActions();
}

void CLinkController::chooseReplayFile()
{
    // A live link ends with the replay: the operator says so first.
    if (!m_station.confirmReplay()) return;
    const QString dir = QString::fromStdString(
        fileDialogFolder(m_station.paths(), m_station.settings(), EFileDialog::Replay));
    const QString path = QFileDialog::getOpenFileName(
        &m_frame, QString(), dir, QStringLiteral("FlightData File(*.hj);;All Files(*.*)"), nullptr,
        QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return;
    rememberFileDialogChoice(m_station.settings(), EFileDialog::Replay, QFile::encodeName(path).toStdString());
    openReplayFile(path);
}

void CLinkController::showReplayClock()
{
    m_frame.replayClock()->setText(QString::fromStdString(m_station.replayClockText()));
}

bool CLinkController::openReplayFile(const QString& path)
{
    cancelReconnect();
    const CReplay::SLoadResult loaded = m_station.startReplay(path.toStdString());
    syncWifi();
    m_commands.updateActions();
    if (!loaded.ok) {
        messageBox(&m_frame, QString::fromStdString(loaded.error));
        return false;
    }
    m_replayTimer.start(m_station.replayIntervalMs());
    m_frame.speedSlider()->setEnabled(true);
    m_frame.progressSlider()->setEnabled(true);
    m_frame.progressSlider()->setRange(0, CMainFrame::kProgressMax);
    m_frame.progressSlider()->setValue(0);
    showReplayClock();
    m_frame.playbackBar()->show();
    m_frame.barLayout(CMainFrame::kShow, CMainFrame::kShow, CMainFrame::kShow);
    return true;
}

void CLinkController::onReplayTick()
{
    if (const std::optional<int> progress = m_station.replayTick())
        m_frame.progressSlider()->setValue(*progress);
    showReplayClock();
    // At the last record the timer rests (at the fastest speed it would keep the program busy
    // with nothing to show); a seek back starts it again.
    if (m_station.replayAtEnd())
        m_replayTimer.stop();
}

void CLinkController::closeSerialPort()
{
    m_serial.close();
}

void CLinkController::stopReplayTimer()
{
    m_replayTimer.stop();
}

void CLinkController::hideFlightDataBar()
{
    m_frame.barLayout(CMainFrame::kHide, CMainFrame::kLeave, CMainFrame::kLeave);
}

void CLinkController::onSerialFailure(const char* message)
{
    if (m_failing) return;
    m_failing = true;
    // The flight log gets every record received before the failure; the program stays up in its
    // idle layout and waits for the device to come back.
    m_station.closeLink();
    syncWifi();
    startReconnect();
    m_commands.updateActions();
    messageBox(&m_frame, QString::fromUtf8(message), {}, EBoxIcon::Stop);
    m_failing = false;
}

void CLinkController::startReconnect()
{
    m_reconnectLimitMs = qint64(m_station.settings().getInt(keys::kSerialReconnectSeconds)) * 1000;
    m_reconnectSince.start();
    m_reconnectTimer.start(m_reconnectPollMs);
    showLinkPanes({}, false, {});
}

void CLinkController::cancelReconnect()
{
    if (!m_reconnectTimer.isActive()) return;
    m_reconnectTimer.stop();
    showLinkPanes({}, false, {});
}

void CLinkController::onReconnectPoll()
{
    if (m_reconnectSince.elapsed() > m_reconnectLimitMs) {
        cancelReconnect();
        m_frame.statusBar()->showMessage(QStringLiteral("串口未能重新连接"), 10000);
        return;
    }
    // The same device as before (the port name the transport was configured with).
    if (!QFileInfo::exists(m_serial.devicePath()) || m_station.anyLinkOpen() || m_station.linkState().replayLoaded())
        return;
    if (!m_station.reopenSerialLink([this] { return m_serial.open(); })) return;
    m_reconnectTimer.stop();
    syncWifi();
    liveLayout();
    m_commands.updateActions();
    m_frame.statusBar()->showMessage(QStringLiteral("串口已重新连接"), 10000);
}

void CLinkController::showLinkPanes(const QString& outage, bool lost, const QString& rate)
{
    m_outagePane->setText(outage);
    // Set only when it changes: a new style sheet re-polishes and redraws the pane every second.
    const QString sheet = lost ? QStringLiteral("color: white; background: #c00000;") : QString();
    if (m_outagePane->styleSheet() != sheet)
        m_outagePane->setStyleSheet(sheet);
    m_outagePane->setVisible(!outage.isEmpty());
    const QString waiting = QStringLiteral("等待串口重新连接（%1 秒）")
                                .arg(qMax<qint64>(0, (m_reconnectLimitMs - m_reconnectSince.elapsed()) / 1000));
    const QString text = reconnecting() ? waiting : rate;
    m_ratePane->setText(text);
    m_ratePane->setVisible(!text.isEmpty());
}

void CLinkController::showLinkStats()
{
    if (!m_statsDlg) {
        m_statsDlg = new CLinkStatsDlg(m_station.linkWatch(), &m_frame);
        m_statsDlg->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_statsDlg->show();
    m_statsDlg->raise();
}

} // namespace orvex
