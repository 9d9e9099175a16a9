#include "link/ComConfig.h"

#include <cctype>

namespace orvex {

namespace {

void putU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void putU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t getU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

constexpr std::size_t kFlagsOffset = 16;
constexpr std::uint32_t kDtrShift = 4;
constexpr std::uint32_t kRtsShift = 12;

} // namespace

CComConfig::CComConfig()
{
    std::uint8_t* b = m_bytes.data();
    putU32(b + 0, kSize);
    putU16(b + 4, 1);
    putU32(b + 8, 28);
    putU32(b + 12, kDefaultBaudRate);
    putU32(b + kFlagsOffset, 0x1u | (std::uint32_t(EDtrControl::Enable) << kDtrShift));
    putU16(b + 22, 2048);
    putU16(b + 24, 512);
    b[26] = 8;
    b[27] = std::uint8_t(EParity::None);
    b[28] = std::uint8_t(EStopBits::One);
    b[29] = 0x11;
    b[30] = 0x13;
}

CComConfig CComConfig::fromSaved(const std::vector<std::uint8_t>& saved)
{
    CComConfig config;
    const std::size_t n = saved.size() < kSize ? saved.size() : kSize;
    for (std::size_t i = 0; i < n; ++i)
        config.m_bytes[i] = saved[i];
    return config;
}

std::uint32_t CComConfig::baudRate() const
{
    return getU32(m_bytes.data() + 12);
}

void CComConfig::setBaudRate(std::uint32_t baud)
{
    putU32(m_bytes.data() + 12, baud);
}

EParity CComConfig::parity() const
{
    return m_bytes[27] <= 4 ? EParity(m_bytes[27]) : EParity::None;
}

EStopBits CComConfig::stopBits() const
{
    return m_bytes[28] <= 2 ? EStopBits(m_bytes[28]) : EStopBits::One;
}

std::uint32_t CComConfig::flags() const
{
    return getU32(m_bytes.data() + kFlagsOffset);
}

void CComConfig::setFlags(std::uint32_t value)
{
    putU32(m_bytes.data() + kFlagsOffset, value);
}

bool CComConfig::flag(int bit) const
{
    return (flags() >> bit) & 1u;
}

void CComConfig::setFlag(int bit, bool on)
{
    const std::uint32_t mask = 1u << bit;
    setFlags(on ? (flags() | mask) : (flags() & ~mask));
}

EDtrControl CComConfig::dtrControl() const
{
    const std::uint32_t v = (flags() >> kDtrShift) & 3u;
    return v == 3 ? EDtrControl::Enable : EDtrControl(v);
}

ERtsControl CComConfig::rtsControl() const
{
    return ERtsControl((flags() >> kRtsShift) & 3u);
}

void CComConfig::setDtrControl(EDtrControl dtr)
{
    setFlags((flags() & ~(3u << kDtrShift)) | (std::uint32_t(dtr) << kDtrShift));
}

void CComConfig::setRtsControl(ERtsControl rts)
{
    setFlags((flags() & ~(3u << kRtsShift)) | (std::uint32_t(rts) << kRtsShift));
}

EFlowControl CComConfig::flowControl() const
{
    if (ctsOutputFlow() || rtsControl() == ERtsControl::Handshake) return EFlowControl::Hardware;
    if (xonXoffOutput() || xonXoffInput()) return EFlowControl::Software;
    return EFlowControl::None;
}

void CComConfig::setFlowControl(EFlowControl flow)
{
    const bool hardware = flow == EFlowControl::Hardware;
    const bool software = flow == EFlowControl::Software;
    setFlag(2, hardware);
    setFlag(3, false);
    setFlag(8, software);
    setFlag(9, software);
    setRtsControl(hardware ? ERtsControl::Handshake : ERtsControl::Enable);
}

std::string CComConfig::problem() const
{
    if (baudRate() == 0) return "baud rate 0";
    if (byteSize() < 5 || byteSize() > 8) return "byte size " + std::to_string(byteSize());
    if (m_bytes[27] > 4) return "parity code " + std::to_string(m_bytes[27]);
    if (m_bytes[28] > 2) return "stop bits code " + std::to_string(m_bytes[28]);
    return {};
}

std::string serialDevicePath(const std::string& comPort)
{
    if (comPort.empty()) return {};
    if (comPort.size() > 3 && std::toupper((unsigned char)comPort[0]) == 'C' &&
        std::toupper((unsigned char)comPort[1]) == 'O' && std::toupper((unsigned char)comPort[2]) == 'M') {
        const std::string digits = comPort.substr(3);
        bool allDigits = digits.size() <= 6;
        for (char c : digits)
            allDigits = allDigits && std::isdigit((unsigned char)c);
        if (allDigits) {
            const long n = std::stol(digits);
            if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    if (comPort.find('/') != std::string::npos) return comPort;
    return "/dev/" + comPort;
}

} // namespace orvex
