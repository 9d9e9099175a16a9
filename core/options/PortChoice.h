#pragma once
// The serial port page's choice of port: the ports of the machine, each inserted at the front of
// the list in enumeration order (so the list shows them in reverse), with the stored COMPORT
// selected; when the stored name is not among them the bottom entry (the first port enumerated)
// is selected.

#include <string>
#include <vector>

namespace orvex {

struct SSerialPortEntry {
    std::string portName;   // what the operator sees and COMPORT stores ("COM3", "ttyUSB0")
    std::string deviceName; // the device behind it ("/dev/ttyUSB0")
};

class CPortChoice {
public:
    // `enumerated` in the platform's order.
    CPortChoice(const std::vector<SSerialPortEntry>& enumerated, const std::string& storedPort);

    // The list as shown, top first.
    const std::vector<SSerialPortEntry>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    // Index into entries(); -1 when the list is empty.
    int selectedIndex() const { return m_selected; }
    void select(int index);
    // A port typed into the box (a pseudo-terminal, "/dev/serial/by-id/..."): a listed name selects
    // that entry, any other text (blanks trimmed) is stored as typed; empty text types nothing.
    void type(const std::string& text);
    // The typed port ("" when a listed entry is chosen). A stored device path that the system
    // does not list ("/dev/pts/3") comes back typed rather than replaced by the bottom entry.
    const std::string& typedPort() const { return m_typed; }
    // The port name to store on Apply; empty when nothing can be stored.
    std::string selectedPort() const;

private:
    std::vector<SSerialPortEntry> m_entries;
    int m_selected = -1;
    std::string m_typed; // non-empty: the typed port, which wins over the selection
};

// The line speeds the port configuration offers; any other rate is refused.
const std::vector<unsigned>& standardBaudRates();
bool isStandardBaudRate(unsigned rate);
inline constexpr const char* kNonStandardBaudText = "请选择标准波特率(110 到 921600)";

} // namespace orvex
