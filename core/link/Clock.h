#pragma once
// Time for the core: the core reads "now" only through an IClock, never the wall clock itself.
// The desktop program uses CSteadyClock and runs the clock's tickers from a timer; tests use
// CManualClock, whose advance() moves time on and runs the tickers, so nothing waits real time.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace orvex {

class IClock {
public:
    using Ticker = std::function<void(std::int64_t nowMs)>;

    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale (its zero is arbitrary).
    virtual std::int64_t nowMs() const = 0;

    // Work to run whenever time moves on (simulated links, the link watch); the id removes it.
    int addTicker(Ticker ticker);
    void removeTicker(int id);
    // Runs every ticker with the present time.
    void tick();

private:
    std::vector<std::pair<int, Ticker>> m_tickers;
    int m_nextId = 1;
};

class CSteadyClock : public IClock {
public:
    std::int64_t nowMs() const override;
};

class CManualClock : public IClock {
public:
    static constexpr std::int64_t kDefaultStepMs = 10;

    explicit CManualClock(std::int64_t startMs = 0, std::int64_t stepMs = kDefaultStepMs)
        : m_now(startMs), m_stepMs(stepMs > 0 ? stepMs : 1)
    {
    }
    std::int64_t nowMs() const override { return m_now; }
    // Moves time on by `ms` in steps of at most the step length, running the tickers after each.
    void advance(std::int64_t ms);

private:
    std::int64_t m_now;
    std::int64_t m_stepMs;
};

} // namespace orvex
