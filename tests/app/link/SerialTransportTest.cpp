// The serial link through a real pseudo-terminal pair: the far side (master) plays the radio
// modem, the transport opens the slave device as the operator's COM port.
#include "link/SerialTransport.h"
#include "link/LinkState.h"
#include "protocol/SerialParser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

StpBytes stpFrame(std::uint16_t tag)
{
    return stpRecord(22.5f, 113.25f, tag);
}

// The road of a record on the serial link: parser -> sink -> record store.
struct SStoreSink : IDownlinkSink {
    CLinkState* state = nullptr;
    std::vector<std::uint16_t> tags;
    std::function<void()> onRecord;
    void onTelemetryRecord(const CTelemetryRecord& record, EDownlinkLink) override
    {
        if (state) state->storeRecord(record.bytes().data());
        tags.push_back(record.controllerSerial());
        if (onRecord) onRecord();
    }
};

class SerialLink : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override
    {
        transport.close();
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
    void farSideWrite(const std::uint8_t* data, std::size_t n)
    {
        while (n > 0) {
            const ssize_t w = ::write(master, data, n);
            ASSERT_GT(w, 0);
            data += w;
            n -= std::size_t(w);
        }
    }
    std::vector<std::uint8_t> farSideRead(std::size_t want, int ms = 3000)
    {
        std::vector<std::uint8_t> got;
        waitFor(
            [&] {
                std::uint8_t buf[512];
                const ssize_t r = ::read(master, buf, sizeof buf);
                if (r > 0) got.insert(got.end(), buf, buf + r);
                return got.size() >= want;
            },
            ms);
        return got;
    }
    // Closes the test's own slave descriptor once the transport holds the device.
    void dropOwnSlave()
    {
        ::close(slave);
        slave = -1;
    }

    int master = -1, slave = -1;
    std::string slavePath;
    CTempDir tmp{"orvex-serial"};
    fs::path dir = tmp.dir();
    CSerialTransport transport;
};

} // namespace

TEST_F(SerialLink, FramesBecomeRecordsAndAClosedFarSideIsAReadFailureAfterEveryRecord)
{
    // (The log written on the failure and the reconnect are the link controller's test.)
    SStoreSink sink;
    CSerialParser parser(sink);
    transport.setReceiver([&](std::span<const std::uint8_t> bytes) { parser.feed(bytes); });
    QSignalSpy readFailed(&transport, &CSerialTransport::readFailed);
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {})) << transport.lastError().toStdString();
    dropOwnSlave();

    auto f0 = stpFrame(100), f1 = stpFrame(101);
    farSideWrite(f0.data(), 99);
    farSideWrite(f1.data(), 40);
    ASSERT_TRUE(waitFor([&] { return sink.tags.size() == 1; }));
    farSideWrite(f1.data() + 40, 59);
    ASSERT_TRUE(waitFor([&] { return sink.tags.size() == 2; }));
    EXPECT_EQ(sink.tags, (std::vector<std::uint16_t>{100, 101}));
    ::close(master); // the radio is pulled
    master = -1;
    ASSERT_TRUE(waitFor([&] { return readFailed.count() > 0; }));
    EXPECT_FALSE(transport.isOpen());
    QCoreApplication::processEvents(); // a second report would be queued by now
    EXPECT_EQ(readFailed.count(), 1) << "told once";
}

TEST_F(SerialLink, SavedConfigurationRecordIsApplied)
{
    // COMCONF written from the Win32 layout: 52-byte COMMCONFIG with the device control block
    // at 8; baud 9600 at 12, flags 0x11 (binary, DTR on) at 16, byte size 8 at 26, no parity at
    // 27, one stop bit at 28. (A pseudo-terminal refuses other frame formats, so the decoding of
    // those is checked on the record itself in the core tests.)
    std::vector<std::uint8_t> comconf(52, 0);
    comconf[0] = 52;
    comconf[4] = 1;
    comconf[8] = 28;
    comconf[12] = 0x80;
    comconf[13] = 0x25;
    comconf[16] = 0x11;
    comconf[22] = 0x00;
    comconf[23] = 0x08;
    comconf[24] = 0x00;
    comconf[25] = 0x02;
    comconf[26] = 8;
    comconf[29] = 0x11;
    comconf[30] = 0x13;
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), comconf))
        << transport.lastError().toStdString();
    EXPECT_EQ(transport.port().baudRate(), 9600);
    EXPECT_EQ(transport.port().dataBits(), QSerialPort::Data8);
    EXPECT_EQ(transport.port().parity(), QSerialPort::NoParity);
    EXPECT_EQ(transport.port().flowControl(), QSerialPort::NoFlowControl);
    // The line speed as the device holds it.
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));

    transport.close();
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {}));
    EXPECT_EQ(transport.port().baudRate(), 115200) << "no saved record: 115200 8N1";
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(SerialLink, SendsWhileAWriteIsInFlightGoOutTogether)
{
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {}));
    QSignalSpy writes(&transport, &CSerialTransport::writeIssued);
    std::vector<std::uint8_t> expected;
    for (std::uint8_t i = 0; i < 5; ++i) {
        const std::uint8_t six[6] = {'$', 'T', 'E', 'S', 'T', i};
        transport.send(six);
        expected.insert(expected.end(), six, six + 6);
    }
    const auto got = farSideRead(30);
    EXPECT_EQ(got, expected);
    ASSERT_TRUE(waitFor([&] { return transport.queuedBytes() == 0 && writes.count() >= 2; }));
    ASSERT_EQ(writes.count(), 2);
    EXPECT_EQ(writes.at(0).at(0).toLongLong(), 6);
    EXPECT_EQ(writes.at(1).at(0).toLongLong(), 24);

    // Far more than 4096 bytes queued behind a write in flight: nothing is lost.
    std::vector<std::uint8_t> big(20000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = std::uint8_t(i * 7);
    const std::uint8_t first[6] = {1, 2, 3, 4, 5, 6};
    transport.send(first);
    for (std::size_t at = 0; at < big.size(); at += 1000)
        transport.send(std::span<const std::uint8_t>(big.data() + at, 1000));
    auto all = farSideRead(6 + big.size(), 5000);
    ASSERT_EQ(all.size(), 6 + big.size());
    EXPECT_TRUE(std::equal(big.begin(), big.end(), all.begin() + 6));
}

TEST_F(SerialLink, PortThatDoesNotExistFailsToOpenAndSendsAreDropped)
{
    EXPECT_FALSE(transport.open("/dev/orvex-no-such-port", {}));
    EXPECT_FALSE(transport.isOpen());
    EXPECT_FALSE(transport.lastError().isEmpty());
    EXPECT_FALSE(transport.open("COM250", {})) << "/dev/ttyS249";
    QSignalSpy writes(&transport, &CSerialTransport::writeIssued);
    const std::uint8_t six[6] = {1, 2, 3, 4, 5, 6};
    transport.send(six);
    EXPECT_EQ(writes.count(), 0);

    CLinkState state;
    EXPECT_FALSE(state.openSerial([&] { return transport.open("/dev/orvex-no-such-port", {}); }));
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
}

TEST_F(SerialLink, AModalBoxInsideTheParserDoesNotReenterItAndLosesNothing)
{
    SStoreSink sink;
    CSerialParser parser(sink);
    int depth = 0, maxDepth = 0;
    transport.setReceiver([&](std::span<const std::uint8_t> bytes) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        parser.feed(bytes);
        --depth;
    });
    // The first record opens a "message box": a nested event loop of 300 ms during which the far
    // side keeps sending.
    bool boxShown = false;
    sink.onRecord = [&] {
        if (boxShown) return;
        boxShown = true;
        QEventLoop box;
        QTimer::singleShot(300, &box, &QEventLoop::quit);
        box.exec();
    };
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {}));
    // 120 frames (11,880 bytes, more than any device queue) arrive while the box is up.
    std::vector<std::uint8_t> stream;
    for (std::uint16_t t = 0; t < 120; ++t) {
        auto f = stpFrame(t);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    farSideWrite(stream.data(), 99 + 10); // frame 0 and the head of frame 1
    std::size_t sent = 109;
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        while (sent < stream.size()) {
            const ssize_t w =
                ::write(master, stream.data() + sent, std::min<std::size_t>(512, stream.size() - sent));
            if (w <= 0) break; // the device queue is full: try again on the next tick
            sent += std::size_t(w);
        }
    });
    feeder.start(5);
    ASSERT_TRUE(waitFor([&] { return sink.tags.size() >= 120; }, 6000)) << sink.tags.size();
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(sent, stream.size());
    std::vector<std::uint16_t> expected(120);
    for (std::uint16_t t = 0; t < 120; ++t)
        expected[t] = t;
    EXPECT_EQ(sink.tags, expected);
}
