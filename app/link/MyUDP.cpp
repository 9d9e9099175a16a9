#include "app/link/MyUDP.h"

#include <QMetaObject>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace orvex {

namespace {
constexpr std::size_t kLargestDatagramBytes = 65536; // a datagram is always read whole
}

CMyUDP::CMyUDP(QObject* parent) : QObject(parent) {}

CMyUDP::~CMyUDP()
{
    stop();
}

bool CMyUDP::start(quint16 localPort, const QHostAddress& remote, quint16 remotePort)
{
    stop();
    setRemote(remote, remotePort);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(localPort);
    socklen_t length = sizeof local;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        ::close(fd);
        return false;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_wakeFd = wakeFd;
    m_localPort = ntohs(local.sin_port);
    m_thread = std::thread([this] { receiveLoop(); });
    return true;
}

void CMyUDP::stop()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_fd >= 0) ::close(m_fd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
    m_fd = m_wakeFd = -1;
    m_localPort = 0;
    const std::lock_guard lock(m_mutex);
    m_queue.clear();
}

void CMyUDP::setRemote(const QHostAddress& remote, quint16 port)
{
    m_remote = remote;
    m_remotePort = port;
}

void CMyUDP::setActive(bool active)
{
    const std::lock_guard lock(m_mutex);
    if (active == m_active) return;
    m_dropped += m_queue.size();
    m_queue.clear();
    m_active = active;
}

bool CMyUDP::isActive() const
{
    const std::lock_guard lock(m_mutex);
    return m_active;
}

quint64 CMyUDP::droppedDatagrams() const
{
    const std::lock_guard lock(m_mutex);
    return m_dropped;
}

void CMyUDP::receiveLoop()
{
    std::vector<char> buffer(kLargestDatagramBytes);
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        // Everything the socket holds now, then one wake-up of the user-interface thread.
        for (;;) {
            const ssize_t got = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (got < 0) {
                if (errno == EINTR) continue;
                break; // EAGAIN: drained; any other error (an ICMP report) ends only this read
            }
            SDatagram datagram;
            datagram.size = int(got);
            datagram.data = QByteArray(buffer.data(), qsizetype(got));
            queueDatagram(std::move(datagram));
        }
    }
}

void CMyUDP::queueDatagram(SDatagram datagram)
{
    const std::lock_guard lock(m_mutex);
    datagram.handedOver = m_active;
    if (!m_active) {
        ++m_dropped;
        datagram.data.clear(); // only its size is reported
    }
    if (m_queue.size() >= kMaxQueuedDatagrams) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back(std::move(datagram));
    if (!m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &CMyUDP::deliverQueued, Qt::QueuedConnection);
    }
}

void CMyUDP::deliverQueued()
{
    // One datagram per call, the next call posted while more wait: other events run in between, and
    // a nested event loop that the consumer opens goes on taking the next datagrams, in order.
    SDatagram datagram;
    {
        const std::lock_guard lock(m_mutex);
        if (m_queue.empty()) {
            m_deliveryPosted = false;
            return;
        }
        datagram = std::move(m_queue.front());
        m_queue.pop_front();
        if (m_queue.empty())
            m_deliveryPosted = false; // the receiving thread posts the next delivery
        else
            QMetaObject::invokeMethod(this, &CMyUDP::deliverQueued, Qt::QueuedConnection);
    }
    if (datagram.handedOver && !datagram.data.isEmpty())
        deliver({reinterpret_cast<const std::uint8_t*>(datagram.data.constData()), std::size_t(datagram.data.size())});
    emit datagramReceived(datagram.size, datagram.handedOver);
}

void CMyUDP::send(std::span<const std::uint8_t> bytes)
{
    if (!isRunning() || m_remote.isNull() || bytes.empty()) return;
    bool isIpv4 = false;
    const quint32 address = m_remote.toIPv4Address(&isIpv4);
    if (!isIpv4) return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(m_remotePort);
    ::sendto(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

} // namespace orvex
