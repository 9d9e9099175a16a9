#pragma once
// The serial link to the flight controller's radio modem (QSerialPort on the user-interface
// thread). It opens the `COMPORT` device with the `COMCONF` configuration record applied, hands
// every received byte to the link's receiver (the station's byte-stream entry), and queues outgoing bytes:
// while a write is in flight, further sends are appended and go out together in one write when
// it completes. The write queue grows as needed, so no send is ever cut short.
//
// A failed read (a port that disappears, such as a pulled USB radio, included) or write closes
// the port and is reported once through readFailed()/writeFailed(); the link controller then
// writes the flight log, shows the stop message and waits for the device to come back.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/Link.h"

namespace orvex {

inline constexpr const char* kSerialOpenFailedMessage = "Failed to Open COM Port";
inline constexpr const char* kSerialReadFailedMessage = "串口读操作失败，连接已断开。";
inline constexpr const char* kSerialWriteFailedMessage = "串口写操作失败，连接已断开。";

class CSerialTransport : public QObject, public ILink {
    Q_OBJECT
  public:
    explicit CSerialTransport(QObject* parent = nullptr);
    ~CSerialTransport() override;

    // Opens the device for a `COMPORT` name ("COM3" is /dev/ttyS2, other names are device names
    // or paths) and applies the configuration record over the defaults. False when the port
    // could not be opened or configured; it is closed then and lastError() says why.
    bool open(const QString& comPort, const std::vector<std::uint8_t>& comConf);
    // The port and configuration record that open() uses.
    void configure(const QString& comPort, const std::vector<std::uint8_t>& comConf);

    // ILink: a byte stream.
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    EFraming framing() const override { return EFraming::ByteStream; }
    QString lastError() const { return m_lastError; }
    QString devicePath() const { return m_port.portName(); }
    QSerialPort& port() { return m_port; }

    // Queues bytes for writing; dropped while the port is closed.
    void send(std::span<const std::uint8_t> bytes) override;
    // Bytes queued behind the write in flight.
    qint64 queuedBytes() const { return m_writeQueue.size(); }

  signals:
    // One write handed to the port, with its size (coalesced sends show as one).
    void writeIssued(qint64 bytes);
    void readFailed();
    void writeFailed();

  private:
    void onReadyRead();
    void onBytesWritten(qint64 bytes);
    void onError(QSerialPort::SerialPortError error);
    void startWrite();
    void fail(bool reading);

    QSerialPort m_port;
    QString m_comPort;
    std::vector<std::uint8_t> m_comConf;
    QByteArray m_received; // bytes read but not yet handed over
    bool m_delivering = false;
    QByteArray m_writeQueue;
    qint64 m_inFlight = 0;
    bool m_failed = false;
    bool m_configuring = false;
    QString m_lastError;
};

} // namespace orvex
