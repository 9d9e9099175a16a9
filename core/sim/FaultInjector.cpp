#include "sim/FaultInjector.h"

#include <limits>

namespace orvex {

CFaultInjector::CFaultInjector(const SFaultConfig& config)
    : m_config(config), m_random(config.seed ^ 0x5EEDFA17ull)
{
}

bool CFaultInjector::silent(int64_t elapsedMs) const
{
    if (m_config.silentAfterSeconds < 0)
        return false;
    const auto from = static_cast<int64_t>(m_config.silentAfterSeconds * 1000.0);
    return elapsedMs >= from &&
           (m_config.silentForSeconds < 0 || elapsedMs < from + static_cast<int64_t>(m_config.silentForSeconds * 1000.0));
}

std::vector<CFaultInjector::Piece> CFaultInjector::apply(std::span<const uint8_t> sentence, int64_t elapsedMs)
{
    if (silent(elapsedMs)) {
        ++m_silenced;
        return {};
    }
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (m_config.lossProbability > 0 && unit(m_random) < m_config.lossProbability) {
        ++m_lost;
        return {};
    }
    Piece whole(sentence.begin(), sentence.end());
    if (m_config.corruptProbability > 0) {
        std::uniform_int_distribution<int> mask(1, 255);
        for (uint8_t& b : whole) {
            if (unit(m_random) < m_config.corruptProbability) {
                b ^= static_cast<uint8_t>(mask(m_random));
                ++m_corrupted;
            }
        }
    }
    std::vector<Piece> pieces;
    if (m_config.split && whole.size() >= 2) {
        std::uniform_int_distribution<std::size_t> at(1, whole.size() - 1);
        const std::size_t cut = at(m_random);
        pieces.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        pieces.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(cut), whole.end());
        ++m_split;
    } else {
        pieces.push_back(std::move(whole));
    }
    return pieces;
}

bool CHeartbeatWatch::beat(int64_t nowMs)
{
    const bool resumed = m_lost;
    m_heard = true;
    m_lost = false;
    m_lastMs = nowMs;
    ++m_beats;
    return resumed;
}

bool CHeartbeatWatch::checkLost(int64_t nowMs)
{
    if (!m_heard || m_lost || nowMs - m_lastMs < kTimeoutMs) return false;
    m_lost = true;
    return true;
}

int64_t CHeartbeatWatch::deadlineMs() const
{
    if (!m_heard || m_lost) return std::numeric_limits<int64_t>::max();
    return m_lastMs + kTimeoutMs;
}

} // namespace orvex
