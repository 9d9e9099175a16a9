#pragma once
// The serial port configuration record `COMCONF`: 52 bytes laid out as the Win32 COMMCONFIG
// structure (with its 28-byte device control block at offset 8), so that records saved on
// Windows load unchanged and records saved here load there. Fields are read and written in
// place in the byte record; bytes this program does not interpret are kept as they are.
//
//   0 u32 size (52)      4 u16 version (1)     6 u16 reserved
//   8 device control block:
//      8 u32 length (28)  12 u32 baud rate    16 u32 flags (bit fields below)
//     20 u16 reserved     22 u16 XonLim       24 u16 XoffLim
//     26 u8 byte size     27 u8 parity        28 u8 stop bits
//     29 XON char  30 XOFF char  31 error char  32 end-of-file char  33 event char  34 u16 reserved
//  36 u32 provider subtype  40 u32 provider offset  44 u32 provider size  48 provider data (4)
//
// Flag bits: 0 binary, 1 parity check, 2 CTS output flow, 3 DSR output flow, 4-5 DTR control,
// 6 DSR sensitivity, 7 TX continue on XOFF, 8 XON/XOFF output, 9 XON/XOFF input, 10 error
// char, 11 null discard, 12-13 RTS control, 14 abort on error.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

enum class EParity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class EStopBits : std::uint8_t { One = 0, OneAndHalf = 1, Two = 2 };
enum class EDtrControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2 };
enum class ERtsControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };
enum class EFlowControl { None, Hardware, Software };

class CComConfig {
  public:
    static constexpr std::size_t kSize = 52;
    static constexpr std::uint32_t kDefaultBaudRate = 115200;

    // The defaults: 115200 baud, 8 data bits, no parity, one stop bit, binary mode, DTR on,
    // RTS off, no flow control, XonLim 2048, XoffLim 512, XON 0x11, XOFF 0x13.
    CComConfig();
    // The defaults overwritten by the saved record (at most 52 bytes of it are taken).
    static CComConfig fromSaved(const std::vector<std::uint8_t>& saved);

    const std::array<std::uint8_t, kSize>& bytes() const { return m_bytes; }
    std::vector<std::uint8_t> toVector() const { return {m_bytes.begin(), m_bytes.end()}; }

    std::uint32_t baudRate() const;
    void setBaudRate(std::uint32_t baud);
    std::uint8_t byteSize() const { return m_bytes[26]; }
    void setByteSize(std::uint8_t bits) { m_bytes[26] = bits; }
    EParity parity() const;
    void setParity(EParity parity) { m_bytes[27] = std::uint8_t(parity); }
    EStopBits stopBits() const;
    void setStopBits(EStopBits stop) { m_bytes[28] = std::uint8_t(stop); }

    bool ctsOutputFlow() const { return flag(2); }
    bool dsrOutputFlow() const { return flag(3); }
    EDtrControl dtrControl() const;
    ERtsControl rtsControl() const;
    bool xonXoffOutput() const { return flag(8); }
    bool xonXoffInput() const { return flag(9); }
    void setDtrControl(EDtrControl dtr);
    void setRtsControl(ERtsControl rts);

    // Flow control as a port configuration dialog shows it: hardware when CTS output flow or
    // RTS handshaking is on, software when XON/XOFF is on either way, else none.
    EFlowControl flowControl() const;
    // Sets the flags the way the platform's dialog does: hardware = CTS flow + RTS handshake;
    // software = XON/XOFF both ways, RTS on; none = all off, RTS on.
    void setFlowControl(EFlowControl flow);

    // Values that a port cannot use are reported here (empty when the record is usable):
    // baud rate 0, byte size outside 5..8, parity or stop bits outside their codes.
    std::string problem() const;

  private:
    bool flag(int bit) const;
    void setFlag(int bit, bool on);
    std::uint32_t flags() const;
    void setFlags(std::uint32_t value);

    std::array<std::uint8_t, kSize> m_bytes{};
};

// The device for a `COMPORT` name: "COMn" (n >= 1, any letter case) is /dev/ttyS(n-1); a name
// holding a '/' is a path; any other name is a device under /dev. Empty for an empty name.
std::string serialDevicePath(const std::string& comPort);

} // namespace orvex
