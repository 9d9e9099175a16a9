#include "options/PortChoice.h"

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
}

void CPortChoice::select(int index)
{
    if (index >= 0 && index < static_cast<int>(m_entries.size()))
        m_selected = index;
}

std::string CPortChoice::selectedPort() const
{
    if (m_selected < 0)
        return {};
    return m_entries[static_cast<std::size_t>(m_selected)].portName;
}

} // namespace orvex
