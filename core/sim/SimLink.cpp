#include "sim/SimLink.h"

namespace orvex {

CSimLink::CSimLink(IClock& clock, const SSimConfig& config, EFraming framing)
    : m_clock(clock), m_framing(framing), m_aircraft(config, *this),
      m_uplink([this](const SUplinkFrame& frame) { m_aircraft.onUplink(frame, side(), m_clock.nowMs()); })
{
    m_aircraft.start(m_clock.nowMs());
    m_ticker = m_clock.addTicker([this](std::int64_t now) { m_aircraft.advance(now); });
}

CSimLink::~CSimLink()
{
    m_clock.removeTicker(m_ticker);
}

bool CSimLink::open()
{
    m_open = true;
    m_uplink.reset();
    m_aircraft.setLinkActive(side(), true);
    return true;
}

void CSimLink::close()
{
    m_open = false;
    m_aircraft.setLinkActive(side(), false);
}

void CSimLink::send(std::span<const std::uint8_t> bytes)
{
    if (m_open)
        m_uplink.feed(bytes);
}

void CSimLink::send(ESimLink link, std::span<const std::uint8_t> sentence)
{
    if (!m_open || m_silent || link != side())
        return;
    ++m_delivered;
    deliver(sentence);
}

} // namespace orvex
