// The serial link through a real pseudo-terminal pair: the far side (master) plays the radio
// modem, the transport opens the slave device as the operator's COM port.
#include "app/link/SerialTransport.h"
#include "link/ComConfig.h"
#include "protocol/SerialParser.h"

#include <QSignalSpy>
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace orvex;

namespace {

StpBytes stpFrame(std::uint16_t tag)
{
    return stpRecord(22.5f, 113.25f, tag);
}

struct SStoreSink : IDownlinkSink {
    std::vector<std::uint16_t> tags;
    std::function<void()> onRecord;
    void onTelemetryRecord(const CTelemetryRecord& record, EDownlinkLink) override
    {
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
    std::vector<std::uint8_t> farSideRead(std::size_t want, int ms = 5000)
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

    int master = -1, slave = -1;
    std::string slavePath;
    CSerialTransport transport;
};

} // namespace

TEST_F(SerialLink, SavedConfigurationRecordIsApplied)
{
    // The saved record's decoding is the core's; here the device must end up at its speed.
    CComConfig saved;
    saved.setBaudRate(9600);
    const std::vector<std::uint8_t> comconf = saved.toVector();
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), comconf))
        << transport.lastError().toStdString();
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));

    transport.close();
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {}));
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200)) << "no saved record: 115200 8N1";
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
    auto all = farSideRead(6 + big.size());
    ASSERT_EQ(all.size(), 6 + big.size());
    EXPECT_TRUE(std::equal(big.begin(), big.end(), all.begin() + 6));
}

TEST_F(SerialLink, AModalBoxInsideTheParserDoesNotReenterItAndLosesNothing)
{
    SStoreSink sink;
    CSerialParser parser(sink);
    int depth = 0, maxDepth = 0;
    transport.setReceiver([&](std::span<const std::uint8_t> bytes) {
        maxDepth = std::max(maxDepth, ++depth);
        parser.feed(bytes);
        --depth;
    });
    std::vector<std::uint8_t> stream;
    for (std::uint16_t t = 0; t < 30; ++t) {
        const auto f = stpFrame(t);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    // The first record opens a "message box" (a nested event loop of 200 ms, ended early by a
    // re-entry) while the far side sends the rest.
    sink.onRecord = [&] {
        if (sink.tags.size() > 1) return;
        farSideWrite(stream.data() + 109, stream.size() - 109);
        waitFor([&] { return maxDepth > 1; }, 200);
    };
    ASSERT_TRUE(transport.open(QString::fromStdString(slavePath), {}));
    farSideWrite(stream.data(), 109); // frame 0 and the head of frame 1
    ASSERT_TRUE(waitFor([&] { return sink.tags.size() >= 30; })) << sink.tags.size();
    EXPECT_EQ(maxDepth, 1);
    std::vector<std::uint16_t> expected(30);
    for (std::uint16_t t = 0; t < 30; ++t)
        expected[t] = t;
    EXPECT_EQ(sink.tags, expected);
}
