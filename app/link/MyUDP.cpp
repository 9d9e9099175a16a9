#include "link/MyUDP.h"

#include <QNetworkDatagram>

namespace orvex {

CMyUDP::CMyUDP(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &CMyUDP::onReadyRead);
}

CMyUDP::~CMyUDP()
{
    stop();
}

bool CMyUDP::start(quint16 localPort, const QHostAddress& remote, quint16 remotePort)
{
    stop();
    setRemote(remote, remotePort);
    if (!m_socket.bind(QHostAddress::AnyIPv4, localPort)) return false;
    m_socket.setReadBufferSize(0);
    return true;
}

void CMyUDP::stop()
{
    m_socket.close();
}

void CMyUDP::setRemote(const QHostAddress& remote, quint16 port)
{
    m_remote = remote;
    m_remotePort = port;
}

void CMyUDP::setActive(bool active)
{
    if (active && !m_active) discardPending();
    m_active = active;
}

void CMyUDP::discardPending()
{
    while (m_socket.hasPendingDatagrams()) {
        m_socket.receiveDatagram(kReceiveBufferBytes);
        ++m_dropped;
    }
}

void CMyUDP::onReadyRead()
{
    while (m_socket.hasPendingDatagrams()) {
        const qint64 size = m_socket.pendingDatagramSize();
        // Read the whole datagram, whatever its size: it is never split or cut short.
        const QNetworkDatagram datagram =
            m_socket.receiveDatagram(size > kReceiveBufferBytes ? size : kReceiveBufferBytes);
        const QByteArray data = datagram.data();
        if (!m_active) {
            ++m_dropped;
            emit datagramReceived(int(data.size()), false);
            continue;
        }
        if (m_consumer && !data.isEmpty())
            m_consumer({reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())});
        emit datagramReceived(int(data.size()), true);
    }
}

void CMyUDP::send(std::span<const std::uint8_t> bytes)
{
    if (!isRunning() || m_remote.isNull() || bytes.empty()) return;
    m_socket.writeDatagram(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()), m_remote,
                           m_remotePort);
}

} // namespace orvex
