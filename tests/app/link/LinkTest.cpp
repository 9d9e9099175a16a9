// The desktop program's links on real parts: the serial transport on a pseudo-terminal pair (the
// far side, master, plays the radio modem), the WiFi socket on 127.0.0.1 with free ports, and the
// link commands as the operator runs them in the real main window, with replay and the plot bar.
#include "app/link/LinkController.h"
#include "app/link/MyUDP.h"
#include "app/link/SerialTransport.h"
#include "app/mainframe/MainFrame.h"
#include "app/plots/PlotBar.h"
#include "app/shell/Commands.h"
#include "app/shell/MessageBox.h"
#include "link/Clock.h"
#include "link/ComConfig.h"
#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"
#include "station/GroundStation.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QUdpSocket>
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

StpBytes stp(std::uint16_t tag)
{
    return stpRecord(22.5f, 113.25f + tag * 0.001f, tag);
}

struct STags : IDownlinkSink {
    std::vector<std::uint16_t> tags;
    std::function<void()> onRecord;
    void onTelemetryRecord(const CTelemetryRecord& record, EDownlinkLink) override
    {
        tags.push_back(record.controllerSerial());
        if (onRecord) onRecord();
    }
};

class LinkCommands : public ::testing::Test {
  protected:
    void SetUp() override
    {
        station.setUi(&frame);
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            boxes.push_back(call.text.toStdString() + (call.icon == EBoxIcon::Stop ? " (stop)" : ""));
            return false;
        });
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        if (master >= 0) ::close(master);
    }
    // The WiFi module's end on 127.0.0.1; the link's socket takes any free port and sends there.
    quint16 startWifi()
    {
        EXPECT_TRUE(aircraft.bind(QHostAddress::LocalHost, 0));
        station.endpoints().udpLocalPort = 0;
        station.endpoints().wifiAddressOverride = "127.0.0.1";
        station.endpoints().wifiRemotePort = aircraft.localPort();
        EXPECT_TRUE(links.startWifiTransport());
        return links.udp().localPort();
    }
    void sendFromAircraft(const QByteArray& datagram)
    {
        ASSERT_EQ(aircraft.writeDatagram(datagram, QHostAddress::LocalHost, links.udp().localPort()),
                  datagram.size());
    }
    static QByteArray bytesOf(const StpBytes& f, int size = 99)
    {
        return QByteArray(reinterpret_cast<const char*>(f.data()), size);
    }
    std::size_t logRecords()
    {
        std::size_t n = 0;
        std::error_code noFolderYet;
        for (const auto& e : fs::directory_iterator(home / "Hj", noFolderYet))
            n += std::size_t(e.file_size() / 99);
        return n;
    }

    CTempDir tmp{"orvex-linkcmd"};
    fs::path home = tmp.dir();
    int master = -1;
    std::vector<std::string> boxes;
    CGroundStation station{CAppPaths(home.string(), home.string())};
    CCommandTable commands;
    CMainFrame frame{station, commands};
    CLinkController links{station, commands, frame};
    QUdpSocket aircraft;
};

} // namespace

// The device takes the saved record's speed (the record's decoding is the core's), 115200 8N1
// without one; sends queued behind a write in flight go out together; a modal box opened inside
// the parser neither re-enters it nor loses a byte.
TEST(SerialLink, SavedSpeedQueuedSendsAndAModalBoxInsideTheParser)
{
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    CSerialTransport transport;
    CComConfig saved;
    saved.setBaudRate(9600);
    const std::pair<std::vector<std::uint8_t>, speed_t> rows[] = {{saved.toVector(), B9600}, {{}, B115200}};
    for (const auto& [record, speed] : rows) {
        ASSERT_TRUE(transport.open(QString(name), record)) << transport.lastError().toStdString();
        termios t{};
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        EXPECT_EQ(std::tuple(cfgetospeed(&t), cfgetispeed(&t)), std::tuple(speed, speed));
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8)) << speed;
    }

    QSignalSpy writes(&transport, &CSerialTransport::writeIssued);
    std::vector<std::uint8_t> expected;
    for (std::uint8_t i = 0; i < 5; ++i) {
        const std::uint8_t six[6] = {'$', 'T', 'E', 'S', 'T', i};
        transport.send(six);
        expected.insert(expected.end(), six, six + 6);
    }
    std::vector<std::uint8_t> got;
    EXPECT_TRUE(waitFor([&] {
        std::uint8_t buf[512];
        const ssize_t r = ::read(master, buf, sizeof buf);
        if (r > 0) got.insert(got.end(), buf, buf + r);
        return got.size() >= 30;
    }));
    EXPECT_EQ(got, expected);
    ASSERT_TRUE(waitFor([&] { return transport.queuedBytes() == 0 && writes.count() >= 2; }));
    EXPECT_EQ(QList<QVariantList>(writes), (QList<QVariantList>{{6}, {24}})) << "one write, then the rest";

    STags sink;
    CSerialParser parser(sink);
    int depth = 0, maxDepth = 0;
    transport.setReceiver([&](std::span<const std::uint8_t> bytes) {
        maxDepth = std::max(maxDepth, ++depth);
        parser.feed(bytes);
        --depth;
    });
    std::vector<std::uint8_t> stream;
    for (std::uint16_t t = 0; t < 30; ++t) {
        const auto f = stp(t);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    // The first record opens a "message box" (a nested event loop of 200 ms, ended early by a
    // re-entry) while the far side sends the rest.
    sink.onRecord = [&] {
        if (sink.tags.size() > 1) return;
        ASSERT_EQ(::write(master, stream.data() + 109, stream.size() - 109), ssize_t(stream.size() - 109));
        waitFor([&] { return maxDepth > 1; }, 200);
    };
    ASSERT_EQ(::write(master, stream.data(), 109), 109); // frame 0 and the head of frame 1
    ASSERT_TRUE(waitFor([&] { return sink.tags.size() >= 30; })) << sink.tags.size();
    EXPECT_EQ(maxDepth, 1);
    std::vector<std::uint16_t> tags(30);
    std::iota(tags.begin(), tags.end(), 0);
    EXPECT_EQ(sink.tags, tags);
    ::close(master);
    ::close(slave);
}

TEST_F(LinkCommands, SerialFailuresAreReportedAndTheSameDeviceReopensWithTheSameLog)
{
    const fs::path port = home / "radio";
    station.endpoints().serialPortOverride = port.string();
    commands.execute(cmd::kOpenSerial); // not there yet
    EXPECT_EQ(boxes, std::vector<std::string>{"Failed to Open COM Port (stop)"});
    boxes.clear();
    // The port is a symbolic link whose name stays while the pseudo-terminal behind it changes.
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    fs::create_symlink(name, port);
    links.setReconnectPollMs(20);
    ASSERT_TRUE(commands.execute(cmd::kOpenSerial));
    ASSERT_TRUE(station.serialOpen()) << (boxes.empty() ? "" : boxes[0]);
    const auto send = [&](std::uint16_t from, std::uint16_t to) {
        for (std::uint16_t t = from; t < to; ++t) {
            auto f = stp(t);
            ASSERT_EQ(::write(master, f.data(), f.size()), 99);
        }
    };
    send(0, 12);
    ASSERT_TRUE(waitFor([&] { return station.linkState().store().count() == 12; }));
    EXPECT_EQ(logRecords(), 0u) << "timer 4 has not run yet";

    ::close(master);
    master = -1;
    ASSERT_TRUE(waitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes, std::vector<std::string>{"串口读操作失败，连接已断开。 (stop)"});
    EXPECT_EQ(logRecords(), 12u) << "every record is in the log";
    EXPECT_FALSE(frame.closed()) << "the program stays up";
    EXPECT_TRUE(links.reconnecting());
    EXPECT_TRUE(commands.isEnabled(cmd::kCloseLink)) << "closing ends the wait";

    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    fs::remove(port);
    fs::create_symlink(name, port);
    ASSERT_TRUE(waitFor([&] { return station.serialOpen(); }));
    EXPECT_FALSE(links.reconnecting());
    send(12, 17);
    ASSERT_TRUE(waitFor([&] { return station.linkState().store().count() == 5; }));
    ASSERT_TRUE(commands.execute(cmd::kCloseLink));
    ASSERT_EQ(std::distance(fs::directory_iterator(home / "Hj"), fs::directory_iterator{}), 1) << "one log file";
    EXPECT_EQ(logRecords(), 17u) << "the log goes on with nothing lost";
}

// The WiFi link in one session: hand-over only while active, the heartbeat, the log, a clean
// restart, the link panes (red while the link is lost, then how long the outage was), datagrams
// in order while the user interface is busy, and the port released at the stop.
TEST_F(LinkCommands, WifiLinkHandsOverSendsLogsShowsItsPanesAndReleasesThePort)
{
    CManualClock clock(1'000'000);
    station.setClock(clock);
    const quint16 port = startWifi();
    QSignalSpy received(&links.udp(), &CMyUDP::datagramReceived);
    sendFromAircraft(bytesOf(stp(10)));
    sendFromAircraft(QByteArray()); // an empty datagram is read and reported like any other
    ASSERT_TRUE(waitFor([&] { return received.count() == 2; }));
    EXPECT_FALSE(received.at(0).at(1).toBool());
    EXPECT_EQ(received.at(1).at(0).toInt(), 0);
    EXPECT_EQ(links.udp().droppedDatagrams(), 2u);

    ASSERT_TRUE(commands.execute(cmd::kOpenWifi));
    sendFromAircraft(QByteArray());
    sendFromAircraft(bytesOf(stp(2)) + bytesOf(stp(3)));
    ASSERT_TRUE(waitFor([&] { return station.linkState().store().count() == 2; }));
    EXPECT_EQ(station.linkState().store().record(0)[42], 2) << "nothing received while inactive surfaces later";
    EXPECT_TRUE(received.at(2).at(1).toBool()) << "the empty datagram did not stop the next one";

    station.heartbeatTick();
    ASSERT_TRUE(waitFor([&] { return aircraft.hasPendingDatagrams(); }));
    const QNetworkDatagram heartbeat = aircraft.receiveDatagram();
    EXPECT_EQ(heartbeat.data().size(), 30) << "the whole frame";
    EXPECT_EQ(heartbeat.senderPort(), port) << "sent from the receiving socket: the module answers there";

    // Half a frame is left over when the link closes; the next session starts clean.
    sendFromAircraft(bytesOf(stp(4), 50));
    ASSERT_TRUE(waitFor([&] { return received.count() == 5; }));
    ASSERT_TRUE(commands.execute(cmd::kCloseLink));
    EXPECT_FALSE(station.wifiActive());
    EXPECT_FALSE(links.udp().isActive());
    EXPECT_EQ(logRecords(), 2u);

    ASSERT_TRUE(commands.execute(cmd::kOpenWifi));
    sendFromAircraft(bytesOf(stp(5)));
    ASSERT_TRUE(waitFor([&] { return station.linkState().store().count() == 1; }));
    EXPECT_EQ(station.linkState().store().record(0)[42], 5) << "the first frame of the new session arrives sound";

    auto* outage = frame.findChild<QLabel*>(QStringLiteral("linkOutagePane"));
    auto* rate = frame.findChild<QLabel*>(QStringLiteral("linkRatePane"));
    ASSERT_TRUE(outage && rate);
    station.linkWatchTick();
    EXPECT_TRUE(outage->isHidden());
    EXPECT_TRUE(rate->text().startsWith(QStringLiteral("记录"))) << rate->text().toStdString();
    clock.advance(3'500); // past Settings/LinkLostSeconds (3)
    station.linkWatchTick();
    EXPECT_FALSE(outage->isHidden());
    EXPECT_TRUE(outage->text().startsWith(QStringLiteral("数据链路中断"))) << outage->text().toStdString();
    EXPECT_TRUE(outage->styleSheet().contains(QStringLiteral("#c00000"))) << "red while lost";
    station.receiveBytes(EFraming::Datagrams, stp(2)); // the return shows at once, without a tick
    EXPECT_TRUE(outage->text().startsWith(QStringLiteral("数据链路已恢复"))) << outage->text().toStdString();
    EXPECT_TRUE(outage->styleSheet().isEmpty()) << "no longer red";

    // The user-interface thread neither runs its event loop nor reads while the aircraft sends.
    for (std::uint16_t tag = 1; tag <= 40; ++tag)
        sendFromAircraft(bytesOf(stp(tag)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The first record opens a nested event loop (a message box would): later datagrams are handed
    // over inside it, in order, and none twice.
    STags records;
    CUdpSentenceStep step{records};
    bool nested = false;
    links.udp().setReceiver([&](std::span<const std::uint8_t> bytes) {
        step.append(bytes);
        step.run(true);
        if (nested) return;
        nested = true;
        waitFor([&] { return records.tags.size() == 40; });
    });
    ASSERT_TRUE(waitFor([&] { return records.tags.size() == 40; }));
    std::vector<std::uint16_t> expected(40);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(records.tags, expected);
    sendFromAircraft(bytesOf(stp(41)));
    ASSERT_TRUE(waitFor([&] { return records.tags.size() == 41; }));

    links.udp().stop();
    EXPECT_FALSE(links.udp().isRunning());
    QUdpSocket other;
    EXPECT_TRUE(other.bind(QHostAddress::AnyIPv4, port)) << "the port is free right after stop";
    CMyUDP second;
    EXPECT_FALSE(second.start(port, QHostAddress::LocalHost, 1)) << "a taken port is reported";
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
    ASSERT_TRUE(links.openReplayFile(QString::fromStdString(log.string())));
    EXPECT_TRUE(frame.playbackBarVisible());
    EXPECT_TRUE(frame.progressSlider()->isEnabled());
    EXPECT_EQ(links.replayTimer().interval(), 100);
    EXPECT_EQ(frame.replayClock()->text(), QStringLiteral("10:00:00  00:00 / 09:59"));

    frame.speedSlider()->setSliderPosition(32); // as dragged: the slider reports the move itself
    EXPECT_EQ(links.replayTimer().interval(), 0) << "the running timer takes the new speed";
    EXPECT_EQ(station.replayIntervalMs(), 0);
    frame.progressSlider()->setSliderPosition(32659); // record 598, one before the last
    EXPECT_TRUE(waitFor([&] { return !links.replayTimer().isActive(); })) << "the timer rests at the last record";
    EXPECT_EQ(station.linkState().store().displayIndex(), 599u);
    QSignalSpy seeks(&frame, &CMainFrame::replaySeekRequested);
    frame.progressSlider()->setSliderPosition(16384); // record 300
    EXPECT_EQ(station.linkState().store().displayIndex(), 300u);
    EXPECT_TRUE(links.replayTimer().isActive()) << "a seek short of the end plays on";
    links.replayTimer().stop(); // the test moves the replay itself
    EXPECT_EQ(frame.replayClock()->text(), QStringLiteral("10:05:00  05:00 / 09:59"));
    frame.progressSlider()->setValue(100);
    EXPECT_EQ(seeks.count(), 1) << "the replay moving the slider itself asks for no seek";

    frame.show();
    CPlotBar* bar = frame.plotBar();
    EXPECT_TRUE(bar->isHidden()) << "hidden until the operator shows it";
    bar->showAction()->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(bar->cursorIndex(), std::optional<std::size_t>(300));
    // A click a third across the window centred on record 300 (150 s to 450 s) lands on the record
    // at that time, one whose slider position rounds up.
    QWidget* view = bar->view();
    const int left = 64, width = view->width() - 64 - 8;
    const int x = left + width / 3;
    const std::size_t expected = std::size_t(std::lround(150.0 + double(x - left) / width * 300.0));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, view->height() / 3));
    EXPECT_EQ(station.linkState().store().displayIndex(), expected);
    EXPECT_FLOAT_EQ(bar->valueAt(0, expected), float(expected) / 10) << "plot 1 shows the altitude";
    bar->updateSummaryAction();
    bar->summaryAction()->trigger(); // a disabled action shows nothing
    auto* summary = frame.findChild<QMessageBox*>(QStringLiteral("flightSummaryDialog"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("最大高度: 59.9 m"))) << summary->text().toStdString();

    EXPECT_FALSE(links.openReplayFile(QString::fromStdString((home / "none.hj").string())));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("none.hj"), std::string::npos);
    EXPECT_FALSE(links.replayTimer().isActive());
}
