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
    // The port name to store on Apply; empty when nothing can be stored.
    std::string selectedPort() const;

private:
    std::vector<SSerialPortEntry> m_entries;
    int m_selected = -1;
};

} // namespace orvex
