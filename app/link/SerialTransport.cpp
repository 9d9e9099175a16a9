#include "app/link/SerialTransport.h"

#include "link/ComConfig.h"

#include <QMetaObject>

#include <cstdio>

namespace orvex {

namespace {

QSerialPort::DataBits dataBitsFor(std::uint8_t bits)
{
    switch (bits) {
    case 5:
        return QSerialPort::Data5;
    case 6:
        return QSerialPort::Data6;
    case 7:
        return QSerialPort::Data7;
    default:
        return QSerialPort::Data8;
    }
}

QSerialPort::Parity parityFor(EParity parity)
{
    switch (parity) {
    case EParity::Odd:
        return QSerialPort::OddParity;
    case EParity::Even:
        return QSerialPort::EvenParity;
    case EParity::Mark:
        return QSerialPort::MarkParity;
    case EParity::Space:
        return QSerialPort::SpaceParity;
    case EParity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsFor(EStopBits stop)
{
    switch (stop) {
    case EStopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case EStopBits::Two:
        return QSerialPort::TwoStop;
    case EStopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl flowFor(EFlowControl flow)
{
    switch (flow) {
    case EFlowControl::Hardware:
        return QSerialPort::HardwareControl;
    case EFlowControl::Software:
        return QSerialPort::SoftwareControl;
    case EFlowControl::None:
        break;
    }
    return QSerialPort::NoFlowControl;
}

} // namespace

CSerialTransport::CSerialTransport(QObject* parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &CSerialTransport::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &CSerialTransport::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CSerialTransport::onError);
}

CSerialTransport::~CSerialTransport()
{
    m_port.disconnect(this);
    m_port.close();
}

void CSerialTransport::configure(const QString& comPort, const std::vector<std::uint8_t>& comConf)
{
    m_comPort = comPort;
    m_comConf = comConf;
}

bool CSerialTransport::open(const QString& comPort, const std::vector<std::uint8_t>& comConf)
{
    configure(comPort, comConf);
    return open();
}

bool CSerialTransport::open()
{
    const QString comPort = m_comPort;
    const std::vector<std::uint8_t>& comConf = m_comConf;
    close();
    m_failed = false;
    m_lastError.clear();
    const std::string device = serialDevicePath(comPort.toStdString());
    if (device.empty()) {
        m_lastError = QStringLiteral("no serial port name");
        return false;
    }
    m_port.setPortName(QString::fromStdString(device));
    m_configuring = true;
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_configuring = false;
        m_lastError = m_port.errorString();
        // Serial devices belong to the group "dialout"; the box says only that the open failed.
        if (m_port.error() == QSerialPort::PermissionError)
            std::fprintf(stderr,
                         "orvex-gcs: no permission to open %s: add your user to the group dialout "
                         "(sudo usermod -aG dialout $USER), then log out and in again\n",
                         device.c_str());
        return false;
    }
    const CComConfig config = CComConfig::fromSaved(comConf);
    const CComConfig defaults;
    // A field the port cannot use falls back to its default rather than failing the open.
    const std::uint32_t baud =
        config.baudRate() > 0 && config.baudRate() <= 0x7FFFFFFF ? config.baudRate() : defaults.baudRate();
    const std::uint8_t bits = config.byteSize() >= 5 && config.byteSize() <= 8 ? config.byteSize() : 8;
    bool ok = m_port.setBaudRate(qint32(baud)) && m_port.setDataBits(dataBitsFor(bits)) &&
              m_port.setParity(parityFor(config.parity())) &&
              m_port.setStopBits(stopBitsFor(config.stopBits())) &&
              m_port.setFlowControl(flowFor(config.flowControl()));
    if (!ok) {
        m_lastError = m_port.errorString();
        m_configuring = false;
        m_port.close();
        return false;
    }
    // Modem lines: a pseudo-terminal or an adapter without them refuses; that is not a failure.
    m_port.setDataTerminalReady(config.dtrControl() != EDtrControl::Disable);
    if (config.flowControl() != EFlowControl::Hardware)
        m_port.setRequestToSend(config.rtsControl() == ERtsControl::Enable);
    m_port.clearError();
    m_configuring = false;
    // No limit on the port's own buffer: while a decoder's message box is up, bytes keep being
    // taken from the device and wait here instead of overflowing the device queue.
    m_port.setReadBufferSize(0);
    m_received.clear();
    m_writeQueue.clear();
    m_inFlight = 0;
    return true;
}

void CSerialTransport::close()
{
    if (m_port.isOpen()) m_port.close();
    m_writeQueue.clear();
    m_inFlight = 0;
}

void CSerialTransport::onReadyRead()
{
    if (m_failed || !m_port.isOpen()) return;
    m_received.append(m_port.readAll());
    // A consumer that opens a modal box runs a nested event loop, which may bring more bytes
    // here: they wait in m_received and are handed over by the loop below, in order.
    if (m_delivering) return;
    // The port does not signal readyRead again while this handler runs, so bytes it buffered
    // meanwhile are collected here after each hand-over.
    m_delivering = true;
    while (!m_received.isEmpty()) {
        const QByteArray chunk = m_received;
        m_received.clear();
        deliver({reinterpret_cast<const std::uint8_t*>(chunk.constData()), std::size_t(chunk.size())});
        if (!m_failed && m_port.isOpen()) m_received.append(m_port.readAll());
    }
    m_delivering = false;
}

void CSerialTransport::send(std::span<const std::uint8_t> bytes)
{
    if (!m_port.isOpen() || m_failed || bytes.empty()) return;
    m_writeQueue.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (m_inFlight == 0) startWrite();
}

void CSerialTransport::startWrite()
{
    if (m_writeQueue.isEmpty() || !m_port.isOpen()) return;
    const qint64 written = m_port.write(m_writeQueue);
    if (written < 0) {
        fail(false);
        return;
    }
    m_writeQueue.remove(0, qsizetype(written));
    m_inFlight = written;
    emit writeIssued(written);
}

void CSerialTransport::onBytesWritten(qint64 bytes)
{
    m_inFlight -= bytes;
    if (m_inFlight <= 0) {
        m_inFlight = 0;
        startWrite();
    }
}

void CSerialTransport::onError(QSerialPort::SerialPortError error)
{
    if (m_configuring || error == QSerialPort::NoError) return;
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        fail(true);
    else if (error == QSerialPort::WriteError)
        fail(false);
}

void CSerialTransport::fail(bool reading)
{
    if (m_failed) return;
    m_failed = true;
    // Bytes already read still reach the parser before the failure is reported.
    if (m_port.isOpen() && m_port.bytesAvailable() > 0) m_received.append(m_port.readAll());
    m_lastError = m_port.errorString();
    // Reported from the event loop, not from inside the port's own notification.
    QMetaObject::invokeMethod(
        this,
        [this, reading] {
            if (!m_received.isEmpty() && !m_delivering) {
                m_delivering = true;
                const QByteArray chunk = m_received;
                m_received.clear();
                deliver({reinterpret_cast<const std::uint8_t*>(chunk.constData()), std::size_t(chunk.size())});
                m_delivering = false;
            }
            m_port.close();
            m_writeQueue.clear();
            m_inFlight = 0;
            if (reading)
                emit readFailed();
            else
                emit writeFailed();
        },
        Qt::QueuedConnection);
}

} // namespace orvex
