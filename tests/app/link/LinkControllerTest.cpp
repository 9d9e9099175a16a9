// The link commands as the operator runs them in the real main window: serial through a
// pseudo-terminal pair, WiFi on 127.0.0.1, replay with the playback bar and the plot bar.
#include "app/link/LinkController.h"
#include "link/Clock.h"
#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/mainframe/MainFrame.h"
#include "app/plots/PlotBar.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QUdpSocket>
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

StpBytes stp(std::uint16_t tag)
{
    return stpRecord(22.5f, 113.25f + tag * 0.001f, tag);
}

class LinkCommands : public ::testing::Test {
  protected:
    void SetUp() override
    {
        station = std::make_unique<CGroundStation>(CAppPaths(home.string(), home.string()));
        commands = std::make_unique<CCommandTable>();
        frame = std::make_unique<CMainFrame>(*station, *commands);
        station->setUi(frame.get());
        links = std::make_unique<CLinkController>(*station, *commands, *frame);
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            boxes.push_back(call.text.toStdString() + (call.icon == EBoxIcon::Stop ? " (stop)" : ""));
            return false;
        });
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        links.reset();
        frame.reset();
        station.reset();
        if (master >= 0) ::close(master);
    }
    std::size_t logRecords()
    {
        std::size_t n = 0;
        if (fs::exists(home / "Hj"))
            for (const auto& e : fs::directory_iterator(home / "Hj"))
                n += std::size_t(e.file_size() / 99);
        return n;
    }

    CTempDir tmp{"orvex-linkcmd"};
    fs::path home = tmp.dir();
    int master = -1;
    std::vector<std::string> boxes;
    std::unique_ptr<CGroundStation> station;
    std::unique_ptr<CCommandTable> commands;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CLinkController> links;
};

} // namespace

TEST_F(LinkCommands, SerialFailureClosesTheLinkAndTheSameDeviceReopensWithTheSameLog)
{
    // The port is a symbolic link whose name stays while the pseudo-terminal behind it changes.
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    const fs::path port = home / "radio";
    fs::create_symlink(name, port);
    station->endpoints().serialPortOverride = port.string();
    links->setReconnectPollMs(20);
    ASSERT_TRUE(commands->execute(cmd::kOpenSerial));
    ASSERT_TRUE(station->serialOpen()) << (boxes.empty() ? "" : boxes[0]);
    EXPECT_FALSE(frame->playbackBarVisible());
    QSignalSpy shown(frame.get(), &CMainFrame::telemetryUpdated);
    const auto send = [&](std::uint16_t from, std::uint16_t to) {
        for (std::uint16_t t = from; t < to; ++t) {
            auto f = stp(t);
            ASSERT_EQ(::write(master, f.data(), f.size()), 99);
        }
    };
    send(0, 12);
    ASSERT_TRUE(waitFor([&] { return station->linkState().store().count() == 12; }));
    frame->drawTelemetry();
    qsizetype onTrack = 0;
    for (const QList<QVariant>& args : shown) onTrack += args.at(2).value<QList<SAircraftMarker>>().size();
    EXPECT_EQ(onTrack, 12) << "every record drawn on the track";
    EXPECT_EQ(logRecords(), 0u) << "timer 4 has not run yet";

    ::close(master);
    master = -1;
    ASSERT_TRUE(waitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes, std::vector<std::string>{"串口读操作失败，连接已断开。 (stop)"});
    EXPECT_EQ(logRecords(), 12u) << "every record is in the log";
    EXPECT_FALSE(frame->closed()) << "the program stays up";
    EXPECT_FALSE(station->serialOpen());
    EXPECT_TRUE(links->reconnecting());
    EXPECT_TRUE(commands->isEnabled(cmd::kCloseLink)) << "closing ends the wait";

    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    fs::remove(port);
    fs::create_symlink(name, port);
    ASSERT_TRUE(waitFor([&] { return station->serialOpen(); }));
    EXPECT_FALSE(links->reconnecting());
    send(12, 17);
    ASSERT_TRUE(waitFor([&] { return station->linkState().store().count() == 5; }));
    ASSERT_TRUE(commands->execute(cmd::kCloseLink));
    ASSERT_EQ(std::distance(fs::directory_iterator(home / "Hj"), fs::directory_iterator{}), 1) << "one log file";
    EXPECT_EQ(logRecords(), 17u) << "the log goes on with nothing lost";
}

TEST_F(LinkCommands, OpenFailureIsReportedAndStaysIdle)
{
    station->endpoints().serialPortOverride = "/dev/orvex-no-such-port";
    commands->execute(cmd::kOpenSerial);
    EXPECT_EQ(boxes, std::vector<std::string>{"Failed to Open COM Port (stop)"});
    EXPECT_EQ(station->linkState().mode(), ELinkMode::Idle);
}

TEST_F(LinkCommands, WifiLinkReceivesSendsAndWritesItsLogOnClose)
{
    QUdpSocket aircraft;
    ASSERT_TRUE(aircraft.bind(QHostAddress::LocalHost, 0));
    station->endpoints().udpLocalPort = 0; // any free port
    station->endpoints().wifiAddressOverride = "127.0.0.1";
    station->endpoints().wifiRemotePort = aircraft.localPort();
    ASSERT_TRUE(links->startWifiTransport());
    const quint16 port = links->udp().localPort();
    ASSERT_TRUE(commands->execute(cmd::kOpenWifi));
    EXPECT_TRUE(station->wifiActive());
    auto a = stp(2), b = stp(3);
    QByteArray two(reinterpret_cast<const char*>(a.data()), 99);
    two.append(reinterpret_cast<const char*>(b.data()), 99);
    aircraft.writeDatagram(two, QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor([&] { return station->linkState().store().count() == 2; }));

    station->heartbeatTick();
    ASSERT_TRUE(waitFor([&] { return aircraft.hasPendingDatagrams(); }));
    const QNetworkDatagram heartbeat = aircraft.receiveDatagram();
    EXPECT_EQ(heartbeat.data().size(), 30);
    EXPECT_EQ(heartbeat.senderPort(), port) << "sent from the receiving socket: the module answers there";

    // Half a frame is left over when the link closes; the next session starts clean.
    QSignalSpy datagrams(&links->udp(), &CMyUDP::datagramReceived);
    auto half = stp(4);
    aircraft.writeDatagram(reinterpret_cast<const char*>(half.data()), 50, QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor([&] { return datagrams.count() == 1; }));
    ASSERT_TRUE(commands->execute(cmd::kCloseLink));
    EXPECT_FALSE(station->wifiActive());
    EXPECT_FALSE(links->udp().isActive());
    EXPECT_EQ(logRecords(), 2u);

    ASSERT_TRUE(commands->execute(cmd::kOpenWifi));
    auto whole = stp(5);
    aircraft.writeDatagram(reinterpret_cast<const char*>(whole.data()), 99, QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor([&] { return station->linkState().store().count() == 1; }));
    EXPECT_EQ(station->linkState().store().record(0)[42], 5) << "the first frame of the new session arrives sound";
}

// The playback bar and the plot bar over a replayed log: the speed slider sets the running timer,
// the progress slider and a click in a plot seek the replay, the clock and the plot cursor follow.
TEST_F(LinkCommands, ReplayDrivesThePlaybackBarAndThePlotBar)
{
    const fs::path log = home / "flight.hj";
    { // 600 records a second apart from 10:00:00; the altitude in decimetres is the index
        std::ofstream out(log, std::ios::binary);
        for (int i = 0; i < 600; ++i) {
            StpBytes r = stp(0);
            r[28] = 10, r[29] = std::uint8_t(i / 60), r[30] = std::uint8_t(i % 60);
            putLeU16(&r[48], i);
            sealStp(r);
            out.write(reinterpret_cast<const char*>(r.data()), 99);
        }
    }
    ASSERT_TRUE(links->openReplayFile(QString::fromStdString(log.string())));
    EXPECT_TRUE(frame->playbackBarVisible());
    EXPECT_TRUE(frame->progressSlider()->isEnabled());
    EXPECT_EQ(links->replayTimer().interval(), 100);
    EXPECT_EQ(frame->replayClock()->text(), QStringLiteral("10:00:00  00:00 / 09:59"));

    frame->speedSlider()->setSliderPosition(32); // as dragged: the slider reports the move itself
    EXPECT_EQ(links->replayTimer().interval(), 0) << "the running timer takes the new speed";
    EXPECT_EQ(station->replayIntervalMs(), 0);
    links->replayTimer().stop(); // the test moves the replay itself
    QSignalSpy seeks(frame.get(), &CMainFrame::replaySeekRequested);
    frame->progressSlider()->setSliderPosition(16384); // record 300
    EXPECT_EQ(station->linkState().store().displayIndex(), 300u);
    EXPECT_EQ(frame->replayClock()->text(), QStringLiteral("10:05:00  05:00 / 09:59"));
    frame->progressSlider()->setValue(100);
    EXPECT_EQ(seeks.count(), 1) << "the replay moving the slider itself asks for no seek";

    frame->show();
    CPlotBar* bar = frame->plotBar();
    EXPECT_TRUE(bar->isHidden()) << "hidden until the operator shows it";
    bar->showAction()->trigger();
    ASSERT_TRUE(bar->isVisible());
    QCoreApplication::processEvents();
    bar->refresh();
    ASSERT_EQ(bar->cursorIndex(), std::optional<std::size_t>(300));
    EXPECT_DOUBLE_EQ(bar->windowStart(), 150.0) << "a five-minute window centred on the replay position";
    // A click three quarters across the plots lands on the record at that time.
    QWidget* view = bar->view();
    const int left = 64, width = view->width() - 64 - 8;
    const int x = left + width * 3 / 4;
    const std::size_t expected = std::size_t(std::lround(150.0 + double(x - left) / width * 300.0));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, view->height() / 3));
    EXPECT_EQ(station->linkState().store().displayIndex(), expected);
    bar->refresh();
    EXPECT_EQ(bar->cursorIndex(), std::optional<std::size_t>(expected));
    EXPECT_FLOAT_EQ(bar->valueAt(0, expected), float(expected) / 10) << "plot 1 shows the altitude";
    bar->updateSummaryAction();
    ASSERT_TRUE(bar->summaryAction()->isEnabled());
    bar->summaryAction()->trigger();
    auto* summary = frame->findChild<QMessageBox*>(QStringLiteral("flightSummaryDialog"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("最大高度: 59.9 m"))) << summary->text().toStdString();

    EXPECT_FALSE(links->openReplayFile(QString::fromStdString((home / "none.hj").string())));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("none.hj"), std::string::npos);
    EXPECT_FALSE(links->replayTimer().isActive());
}

// The link panes in the status bar follow the station's link watch: red while the link is lost,
// then how long the outage was.
TEST_F(LinkCommands, LinkPanesShowALostLinkAndItsReturn)
{
    CManualClock clock(1'000'000);
    station->setClock(clock);
    ASSERT_TRUE(commands->execute(cmd::kOpenWifi));
    const auto record = [&](std::uint16_t tag) {
        auto f = stp(tag);
        station->receiveBytes(EFraming::Datagrams, f);
        station->linkWatchTick();
    };
    auto* outage = frame->findChild<QLabel*>(QStringLiteral("linkOutagePane"));
    auto* rate = frame->findChild<QLabel*>(QStringLiteral("linkRatePane"));
    ASSERT_TRUE(outage && rate);
    record(1);
    EXPECT_TRUE(outage->isHidden());
    EXPECT_TRUE(rate->text().startsWith(QStringLiteral("记录"))) << rate->text().toStdString();
    clock.advance(3'500); // past Settings/LinkLostSeconds (3)
    station->linkWatchTick();
    EXPECT_FALSE(outage->isHidden());
    EXPECT_TRUE(outage->text().startsWith(QStringLiteral("数据链路中断"))) << outage->text().toStdString();
    EXPECT_TRUE(outage->styleSheet().contains(QStringLiteral("#c00000"))) << "red while lost";
    record(2);
    EXPECT_TRUE(outage->text().startsWith(QStringLiteral("数据链路已恢复"))) << outage->text().toStdString();
    EXPECT_TRUE(outage->styleSheet().isEmpty()) << "no longer red";
}
