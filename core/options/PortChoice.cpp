#include "options/PortChoice.h"

#include <algorithm>

namespace orvex {

CPortChoice::CPortChoice(const std::vector<SSerialPortEntry>& enumerated, const std::string& storedPort)
{
    int found = 0;
    for (std::size_t i = 0; i < enumerated.size(); ++i) {
        m_entries.insert(m_entries.begin(), enumerated[i]);
        if (enumerated[i].portName == storedPort)
            found = static_cast<int>(i);
    }
    const int n = static_cast<int>(m_entries.size());
    m_selected = n == 0 ? -1 : n - 1 - found;
    if (!storedPort.empty() && storedPort.front() == '/')
        type(storedPort);
}

void CPortChoice::select(int index)
{
    m_typed.clear();
    if (index >= 0 && index < static_cast<int>(m_entries.size()))
        m_selected = index;
}

void CPortChoice::type(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    m_typed.clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].portName == trimmed) {
            m_selected = static_cast<int>(i);
            return;
        }
    m_typed = trimmed;
}

std::string CPortChoice::selectedPort() const
{
    if (!m_typed.empty())
        return m_typed;
    if (m_selected < 0)
        return {};
    return m_entries[static_cast<std::size_t>(m_selected)].portName;
}

const std::vector<unsigned>& standardBaudRates()
{
    static const std::vector<unsigned> rates = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return rates;
}

bool isStandardBaudRate(unsigned rate)
{
    const std::vector<unsigned>& rates = standardBaudRates();
    return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

} // namespace orvex
