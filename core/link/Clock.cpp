#include "link/Clock.h"

#include <algorithm>
#include <chrono>

namespace orvex {

int IClock::addTicker(Ticker ticker)
{
    m_tickers.emplace_back(m_nextId, std::move(ticker));
    return m_nextId++;
}

void IClock::removeTicker(int id)
{
    std::erase_if(m_tickers, [id](const auto& entry) { return entry.first == id; });
}

void IClock::tick()
{
    const std::int64_t now = nowMs();
    const auto tickers = m_tickers; // a ticker may add or remove tickers
    for (const auto& entry : tickers)
        entry.second(now);
}

std::int64_t CSteadyClock::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CManualClock::advance(std::int64_t ms)
{
    while (ms > 0) {
        const std::int64_t step = std::min(ms, m_stepMs);
        m_now += step;
        ms -= step;
        tick();
    }
}

} // namespace orvex
