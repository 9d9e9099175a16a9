// The WiFi link on 127.0.0.1 with free ports.
#include "app/link/MyUDP.h"
#include "protocol/UdpSentenceStep.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QUdpSocket>
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <array>
#include <thread>

using namespace orvex;

namespace {

StpBytes stpFrame(std::uint16_t tag)
{
    return stpRecord(-33.5f, 151.25f, tag);
}

struct SRecords : IDownlinkSink {
    std::vector<std::uint16_t> tags;
    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override
    {
        tags.push_back(r.controllerSerial());
    }
};

class WifiLink : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(aircraft.bind(QHostAddress::LocalHost, 0));
        ASSERT_TRUE(udp.start(0, QHostAddress::LocalHost, aircraft.localPort()));
        ASSERT_NE(udp.localPort(), 0);
        udp.setReceiver([this](std::span<const std::uint8_t> bytes) {
            step.append(bytes);
            step.run(udp.isActive());
        });
    }
    void sendFromAircraft(const QByteArray& datagram)
    {
        ASSERT_EQ(aircraft.writeDatagram(datagram, QHostAddress::LocalHost, udp.localPort()),
                  datagram.size());
    }
    static QByteArray bytesOf(const std::array<std::uint8_t, 99>& f)
    {
        return QByteArray(reinterpret_cast<const char*>(f.data()), 99);
    }

    QUdpSocket aircraft;
    CMyUDP udp;
    SRecords records;
    CUdpSentenceStep step{records};
};

} // namespace

TEST_F(WifiLink, OnlyDatagramsReceivedWhileActiveAreHandedOver)
{
    QSignalSpy received(&udp, &CMyUDP::datagramReceived);
    sendFromAircraft(bytesOf(stpFrame(10)));
    sendFromAircraft(QByteArray()); // an empty datagram is read and reported like any other
    ASSERT_TRUE(waitFor([&] { return received.count() == 2; }));
    EXPECT_FALSE(received.at(0).at(1).toBool());
    EXPECT_EQ(received.at(1).at(0).toInt(), 0);
    EXPECT_EQ(udp.droppedDatagrams(), 2u);

    udp.setActive(true);
    sendFromAircraft(QByteArray());
    sendFromAircraft(bytesOf(stpFrame(12)));
    ASSERT_TRUE(waitFor([&] { return records.tags.size() == 1; }));
    EXPECT_EQ(records.tags, std::vector<std::uint16_t>{12}) << "nothing received while inactive surfaces later";
    EXPECT_EQ(received.count(), 4);
    EXPECT_TRUE(received.at(2).at(1).toBool()) << "the empty datagram did not stop the next one";
}

TEST_F(WifiLink, DatagramsKeepComingInOrderWhileTheUserInterfaceIsBusy)
{
    udp.setActive(true);
    // The user-interface thread neither runs its event loop nor reads while the aircraft sends.
    for (std::uint16_t tag = 1; tag <= 40; ++tag)
        sendFromAircraft(bytesOf(stpFrame(tag)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The first record opens a nested event loop (a message box would): later datagrams are handed
    // over inside it, in order, and none twice.
    bool nested = false;
    udp.setReceiver([&](std::span<const std::uint8_t> bytes) {
        step.append(bytes);
        step.run(true);
        if (nested) return;
        nested = true;
        waitFor([&] { return records.tags.size() == 40; });
    });
    ASSERT_TRUE(waitFor([&] { return records.tags.size() == 40; }));
    std::vector<std::uint16_t> expected(40);
    for (std::uint16_t i = 0; i < 40; ++i)
        expected[i] = std::uint16_t(i + 1);
    EXPECT_EQ(records.tags, expected);
    sendFromAircraft(bytesOf(stpFrame(41)));
    ASSERT_TRUE(waitFor([&] { return records.tags.size() == 41; }));
}

TEST_F(WifiLink, StopReleasesThePortAtOnce)
{
    const quint16 port = udp.localPort();
    udp.setActive(true);
    udp.stop();
    EXPECT_FALSE(udp.isRunning());
    QUdpSocket other;
    EXPECT_TRUE(other.bind(QHostAddress::AnyIPv4, port)) << "the port is free right after stop";
    const std::array<std::uint8_t, 6> six{1, 2, 3, 4, 5, 6};
    udp.send(six); // nowhere to go: ignored
    CMyUDP second;
    EXPECT_FALSE(second.start(port, QHostAddress::LocalHost, 1)) << "a taken port is reported";
}
