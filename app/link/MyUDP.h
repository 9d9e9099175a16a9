#pragma once
// CMyUDP: the WiFi link. One datagram socket, bound to UDP port 9000 (overridable), sending to the
// airborne WiFi module at the `WifiAddress` setting, port 55555 (overridable).
//
// Receiving runs on a thread of its own that blocks on the plain socket and reads every datagram
// as soon as it arrives, whatever the user-interface thread is doing (a window being built, a
// nested event loop, a long redraw): the kernel's receive buffer never fills up and no datagram
// waits for a notification that might not come. The thread queues what it reads and wakes the
// user-interface thread, which hands each datagram whole, in arrival order, to the link's receiver
// (the station) while the WiFi link is active. Datagrams received while the link is inactive are
// dropped; switching the link on or off drops whatever was queued and not yet handed over, so
// nothing from one session surfaces in the next.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "link/Link.h"

namespace orvex {

class CMyUDP : public QObject, public ILink {
    Q_OBJECT
  public:
    static constexpr quint16 kDefaultLocalPort = 9000;
    static constexpr quint16 kDefaultRemotePort = 55555;
    // Datagrams read but not yet handed over; past this the oldest are dropped (counted). Only a
    // user-interface thread stalled for minutes at full rate gets there.
    static constexpr std::size_t kMaxQueuedDatagrams = 16384;

    explicit CMyUDP(QObject* parent = nullptr);
    ~CMyUDP() override;

    // Binds to localPort on any address (0 picks a free port), sets the remote end and starts the
    // receiving thread. False when the socket cannot be bound: the program then runs without the
    // WiFi link.
    bool start(quint16 localPort, const QHostAddress& remote, quint16 remotePort);
    // Stops the receiving thread and closes the socket at once; the port is free on return.
    void stop();
    bool isRunning() const { return m_fd >= 0; }
    quint16 localPort() const { return m_localPort; }
    void setRemote(const QHostAddress& remote, quint16 port);
    QHostAddress remoteAddress() const { return m_remote; }
    quint16 remotePort() const { return m_remotePort; }

    // WiFi link active: datagrams are handed over only while it is set. Every change throws away
    // what was received and not yet handed over.
    void setActive(bool active);
    bool isActive() const;

    // ILink: datagrams. Opening and closing the link is switching it active and inactive; the
    // socket stays bound, so the heartbeat and a rebooted module find each other again.
    bool open() override
    {
        setActive(true);
        return true;
    }
    void close() override { setActive(false); }
    bool isOpen() const override { return isActive(); }
    EFraming framing() const override { return EFraming::Datagrams; }

    // One datagram to the WiFi module; failures are ignored.
    void send(std::span<const std::uint8_t> bytes) override;

    // Datagrams dropped because the link was inactive or the queue was full (diagnostics, tests).
    quint64 droppedDatagrams() const;

  signals:
    // For every datagram read, in order, on the user-interface thread.
    void datagramReceived(int bytes, bool handedOver);

  private:
    struct SDatagram {
        QByteArray data;
        int size = 0;
        bool handedOver = false;
    };

    void receiveLoop();
    void queueDatagram(SDatagram datagram); // receiving thread
    void deliverQueued();                   // user-interface thread

    int m_fd = -1;
    int m_wakeFd = -1; // an eventfd that tells the receiving thread to end
    quint16 m_localPort = 0;
    std::thread m_thread;
    QHostAddress m_remote;
    quint16 m_remotePort = kDefaultRemotePort;

    mutable std::mutex m_mutex; // guards everything below
    std::deque<SDatagram> m_queue;
    bool m_active = false;
    bool m_deliveryPosted = false;
    quint64 m_dropped = 0;
};

} // namespace orvex
