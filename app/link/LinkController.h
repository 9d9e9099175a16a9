#pragma once
// CLinkController: the desktop side of the links and the flight log. It owns the two transports
// (the serial port and CMyUDP) and the replay timer, runs the commands that open and close links
// and load a replay (73 "打开串口(&R)", 32878 "打开Wifi(&W)", 32788 "关闭连接(&C)", 74
// "轨迹回放(&T)"), drives the playback bar, shows the link panes of the status bar and the
// "链路统计" dialog, and survives a serial port failure: the flight log is written, the port
// closed, the stop message shown, and the same device is reopened when it comes back (polled
// once a second for at most Settings/SerialReconnectSeconds), its flight log continuing.
//
// The decisions live in the core (CGroundStation and its CLinkState); this class only puts Qt
// parts behind them. It is created by COrvexApp::attachSubsystems().

#include <QObject>
#include <QString>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <string>

#include "link/LinkState.h"
#include "app/link/MyUDP.h"
#include "app/link/SerialTransport.h"

namespace orvex {

class CCommandTable;
class CLinkStatsDlg;
class CGroundStation;
class CMainFrame;

class CLinkController : public QObject, public ILinkHooks {
    Q_OBJECT
  public:
    CLinkController(CGroundStation& station, CCommandTable& commands, CMainFrame& frame,
                    QObject* parent = nullptr);
    ~CLinkController() override;

    // Binds the WiFi socket (local port, module address and port from the endpoints and
    // Settings/WifiAddress). The program runs on without WiFi when it cannot bind.
    bool startWifiTransport();
    void stopWifiTransport() { m_udp.stop(); }

    // The commands.
    void openSerial();
    void activateWifi();
    void closeLink();
    // "轨迹回放(&T)": asks first while a live link is open, then the file dialog in the replay
    // folder (Hj/ or the one last used).
    void chooseReplayFile();
    // Loads a flight log for replay (also --replay FILE). False when it could not be loaded.
    bool openReplayFile(const QString& path);

    CSerialTransport& serial() { return m_serial; }
    CMyUDP& udp() { return m_udp; }
    QTimer& replayTimer() { return m_replayTimer; }

    // The serial link waits for its device to come back after a failure.
    bool reconnecting() const { return m_reconnectTimer.isActive(); }
    void setReconnectPollMs(int ms) { m_reconnectPollMs = ms; }
    // "链路统计" (连接(&L) menu).
    void showLinkStats();
    static constexpr int kLinkWatchTimerMs = 200;

    // ILinkHooks
    void closeSerialPort() override;
    void stopReplayTimer() override;
    void hideFlightDataBar() override;

  private:
    void liveLayout();
    void syncWifi();
    void onReplayTick();
    void showReplayClock();
    void onSerialFailure(const char* message);
    void startReconnect();
    void cancelReconnect();
    void onReconnectPoll();
    void showLinkPanes(const QString& outage, bool lost, const QString& rate);
    QHostAddress wifiAddress() const;

    CGroundStation& m_station;
    CCommandTable& m_commands;
    CMainFrame& m_frame;
    CSerialTransport m_serial;
    CMyUDP m_udp;
    QTimer m_replayTimer;
    bool m_failing = false;
    QTimer m_linkWatchTimer;
    QTimer m_reconnectTimer;
    QElapsedTimer m_reconnectSince;
    qint64 m_reconnectLimitMs = 0;
    int m_reconnectPollMs = 1000;
    QLabel* m_outagePane = nullptr;
    QLabel* m_ratePane = nullptr;
    QPointer<CLinkStatsDlg> m_statsDlg;
};

} // namespace orvex
