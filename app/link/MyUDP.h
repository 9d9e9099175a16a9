#pragma once
// CMyUDP: the WiFi link. One datagram socket for the program's whole life, bound to UDP port
// 9000 (overridable), sending to the airborne WiFi module at the `WifiAddress` setting, port
// 55555 (overridable). Every datagram received while the WiFi link is active is handed whole to
// the byte consumer (the UDP sentence step); datagrams received while it is inactive are dropped
// on arrival, so they never surface later. The socket lives on the user-interface thread and
// is driven by its notifications; stop() closes it at once.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <cstdint>
#include <functional>
#include <span>

#include "protocol/Uplink.h"

namespace orvex {

class CMyUDP : public QObject, public IByteOutput {
    Q_OBJECT
  public:
    static constexpr quint16 kDefaultLocalPort = 9000;
    static constexpr quint16 kDefaultRemotePort = 55555;
    static constexpr int kReceiveBufferBytes = 1024; // more than the longest sentence

    explicit CMyUDP(QObject* parent = nullptr);
    ~CMyUDP() override;

    using ByteConsumer = std::function<void(std::span<const std::uint8_t>)>;
    void setByteConsumer(ByteConsumer consumer) { m_consumer = std::move(consumer); }

    // Binds to localPort on any address (0 picks a free port) and sets the remote end. False
    // when the socket cannot be bound: the program then runs without the WiFi link.
    bool start(quint16 localPort, const QHostAddress& remote, quint16 remotePort);
    void stop();
    bool isRunning() const { return m_socket.state() == QAbstractSocket::BoundState; }
    quint16 localPort() const { return m_socket.localPort(); }
    void setRemote(const QHostAddress& remote, quint16 port);
    QHostAddress remoteAddress() const { return m_remote; }
    quint16 remotePort() const { return m_remotePort; }

    // WiFi link active: datagrams are handed over only while it is set. Switching it on first
    // throws away whatever arrived before.
    void setActive(bool active);
    bool isActive() const { return m_active; }

    // One datagram to the WiFi module; failures are ignored.
    void send(std::span<const std::uint8_t> bytes) override;

    // Datagrams dropped because the link was inactive (diagnostics and tests).
    quint64 droppedDatagrams() const { return m_dropped; }

  signals:
    void datagramReceived(int bytes, bool handedOver);

  private:
    void onReadyRead();
    void discardPending();

    QUdpSocket m_socket;
    QHostAddress m_remote;
    quint16 m_remotePort = kDefaultRemotePort;
    ByteConsumer m_consumer;
    bool m_active = false;
    quint64 m_dropped = 0;
};

} // namespace orvex
