#include "link/LinkWatch.h"

#include "base/Format.h"

namespace orvex {

std::vector<std::pair<std::string, std::string>> linkStatsRows(const SLinkStats& s)
{
    std::vector<std::pair<std::string, std::string>> rows;
    const auto add = [&rows](std::string label, std::size_t value) { rows.emplace_back(std::move(label), strprintf("%zu", value)); };
    add("记录", s.records);
    for (const auto& [keyword, count] : s.sentences)
        add("语句 " + keyword, count);
    add("校验和错误", s.badChecksums);
    add("丢弃字节", s.bytesDiscarded);
    add("数据报", s.datagrams);
    add("中断次数", s.outages);
    rows.emplace_back("最长中断", strprintf("%.1f 秒", static_cast<double>(s.longestOutageMs) / 1000.0));
    add("上行帧", s.uplinkFrames);
    add("心跳", s.heartbeats);
    return rows;
}

void CLinkWatch::start(std::int64_t nowMs)
{
    m_running = true;
    m_lost = false;
    m_silenceFromMs = nowMs;
    m_lastRecordMs.reset();
    m_lastOutageMs = -1;
    m_recent.clear();
    m_stats = SLinkStats{};
}

void CLinkWatch::stop()
{
    m_running = false;
    m_lost = false;
    m_lastOutageMs = -1;
}

ELinkChange CLinkWatch::recordReceived(std::int64_t nowMs)
{
    if (!m_running)
        return ELinkChange::None;
    ++m_stats.records;
    m_recent.push_back(nowMs);
    m_lastRecordMs = nowMs;
    const std::int64_t silence = nowMs - m_silenceFromMs;
    m_silenceFromMs = nowMs;
    if (!m_lost)
        return ELinkChange::None;
    m_lost = false;
    m_lastOutageMs = silence;
    m_restoredAtMs = nowMs;
    if (silence > m_stats.longestOutageMs)
        m_stats.longestOutageMs = silence;
    return ELinkChange::Restored;
}

ELinkChange CLinkWatch::tick(std::int64_t nowMs)
{
    if (!m_running || m_lost || nowMs - m_silenceFromMs < m_lostAfterMs)
        return ELinkChange::None;
    m_lost = true;
    ++m_stats.outages;
    m_lastOutageMs = -1;
    return ELinkChange::Lost;
}

void CLinkWatch::sentence(std::string_view keyword)
{
    if (!m_running)
        return;
    const auto it = m_stats.sentences.find(keyword);
    if (it != m_stats.sentences.end())
        ++it->second;
    else
        m_stats.sentences.emplace(std::string(keyword), 1);
}

std::size_t CLinkWatch::recordsPerSecond(std::int64_t nowMs)
{
    while (!m_recent.empty() && m_recent.front() <= nowMs - kRateWindowMs)
        m_recent.pop_front();
    return m_recent.size();
}

std::optional<std::int64_t> CLinkWatch::lastRecordAgeMs(std::int64_t nowMs) const
{
    if (!m_lastRecordMs)
        return std::nullopt;
    return nowMs - *m_lastRecordMs;
}

std::string CLinkWatch::outageText(std::int64_t nowMs) const
{
    if (m_running && m_lost)
        return strprintf("数据链路中断 %lld 秒", static_cast<long long>((nowMs - m_silenceFromMs) / 1000));
    if (m_running && m_lastOutageMs >= 0 && nowMs - m_restoredAtMs < kShowOutageMs)
        return strprintf("数据链路已恢复，中断 %lld 秒", static_cast<long long>((m_lastOutageMs + 500) / 1000));
    return {};
}

std::string CLinkWatch::rateText(std::int64_t nowMs)
{
    if (!m_running)
        return {};
    const std::optional<std::int64_t> age = lastRecordAgeMs(nowMs);
    if (!age)
        return strprintf("记录 %zu 条/秒，尚无记录", recordsPerSecond(nowMs));
    return strprintf("记录 %zu 条/秒，最后 %.1f 秒前", recordsPerSecond(nowMs), static_cast<double>(*age) / 1000.0);
}

} // namespace orvex
