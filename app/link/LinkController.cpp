#include "link/LinkController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QSlider>
#include <QToolBar>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "mainframe/MainFrame.h"

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
        if (const std::optional<int> progress = m_station.replaySeek(position))
            m_frame.progressSlider()->setValue(*progress);
    });
    m_frame.setWifiStopHook([this] { m_udp.stop(); });

    m_commands.setHandler(cmd::kOpenSerial, [this] { openSerial(); });
    m_commands.setHandler(cmd::kOpenWifi, [this] { activateWifi(); });
    m_commands.setHandler(cmd::kCloseLink, [this] { closeLink(); });
    m_commands.setHandler(cmd::kReplay, [this] { chooseReplayFile(); });
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
    m_udp.setRemote(wifiAddress(), quint16(m_station.endpoints().wifiRemotePort));
    m_station.activateWifiLink();
    syncWifi();
    liveLayout();
    m_commands.updateActions();
}

void CLinkController::closeLink()
{
    m_station.closeLink();
    syncWifi();
    m_commands.updateActions();
}

void CLinkController::chooseReplayFile()
{
    const QString dir = QString::fromStdString(m_station.paths().flightLogDir());
    const QString path = QFileDialog::getOpenFileName(
        &m_frame, QString(), QDir(dir).exists() ? dir : QString(),
        QStringLiteral("FlightData File(*.hj);;All Files(*.*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return;
    openReplayFile(path);
}

bool CLinkController::openReplayFile(const QString& path)
{
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
    m_frame.playbackBar()->show();
    m_frame.barLayout(CMainFrame::kShow, CMainFrame::kShow, CMainFrame::kShow);
    return true;
}

void CLinkController::onReplayTick()
{
    if (const std::optional<int> progress = m_station.replayTick())
        m_frame.progressSlider()->setValue(*progress);
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
    if (m_ending) return;
    m_ending = true;
    // The flight log gets every record received before the failure, before anything else.
    m_station.shutdownLinks();
    syncWifi();
    messageBox(&m_frame, QString::fromUtf8(message), {}, EBoxIcon::Stop);
    m_frame.closeWithoutQuestions();
    QCoreApplication::quit();
}

} // namespace orvex
