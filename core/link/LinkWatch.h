#pragma once
// CLinkWatch: the health of the live link. It is started when a live link opens and stopped when
// the link closes or a replay is loaded (a replay never raises it). While it runs:
//   - no sound "$STP" record for the lost-after time (Settings/LinkLostSeconds, default 3): the
//     link is lost, once; the next sound record restores it and ends the outage;
//   - it counts, since the link opened, records, sentences by keyword, bad checksums, bytes
//     discarded, datagrams, outages (count and longest), uplink frames sent and heartbeats.
// Time is given by the caller (the station's clock), so tests move it by hand.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Settings.h"

namespace orvex {

namespace keys {
inline constexpr SettingKey kLinkLostSeconds{"Settings", "LinkLostSeconds", "3"};
inline constexpr SettingKey kSerialReconnectSeconds{"Settings", "SerialReconnectSeconds", "600"};
} // namespace keys

struct SLinkStats {
    std::size_t records = 0;
    std::map<std::string, std::size_t, std::less<>> sentences; // by keyword, "$STP" ...
    std::size_t badChecksums = 0;
    std::size_t bytesDiscarded = 0;
    std::size_t datagrams = 0;
    std::size_t outages = 0;
    std::int64_t longestOutageMs = 0;
    std::size_t uplinkFrames = 0;
    std::size_t heartbeats = 0;
};

// The rows of the "链路统计" dialog (label, value), in order; one row per sentence keyword.
std::vector<std::pair<std::string, std::string>> linkStatsRows(const SLinkStats& stats);

enum class ELinkChange { None, Lost, Restored };

class CLinkWatch {
public:
    static constexpr std::int64_t kDefaultLostAfterMs = 3000;
    // After a restore the outage pane shows its length this long.
    static constexpr std::int64_t kShowOutageMs = 10000;
    // Records per second are counted over this window.
    static constexpr std::int64_t kRateWindowMs = 1000;

    void setLostAfterMs(std::int64_t ms) { m_lostAfterMs = ms > 0 ? ms : kDefaultLostAfterMs; }
    std::int64_t lostAfterMs() const { return m_lostAfterMs; }

    // A live link opened: the counters start from zero and the silence is timed from now.
    void start(std::int64_t nowMs);
    // The link closed or a replay was loaded: nothing is raised until the next start. The
    // counters stay readable.
    void stop();
    bool running() const { return m_running; }
    bool lost() const { return m_lost; }

    // A sound "$STP" record: Restored when it ends an outage.
    ELinkChange recordReceived(std::int64_t nowMs);
    // Time moved on: Lost once the silence reaches the lost-after time.
    ELinkChange tick(std::int64_t nowMs);

    void sentence(std::string_view keyword);
    void badChecksum() { ++m_stats.badChecksums; }
    void bytesDiscarded(std::size_t count) { m_stats.bytesDiscarded += count; }
    void datagram() { ++m_stats.datagrams; }
    void uplinkFrame() { ++m_stats.uplinkFrames; }
    void heartbeat() { ++m_stats.heartbeats; }
    const SLinkStats& stats() const { return m_stats; }

    // Sound records in the last second; how long ago the last one came (none yet: nullopt).
    std::size_t recordsPerSecond(std::int64_t nowMs);
    std::optional<std::int64_t> lastRecordAgeMs(std::int64_t nowMs) const;

    // The status-bar texts: "数据链路中断 N 秒" while lost, "数据链路已恢复，中断 N 秒" for ten
    // seconds after a restore, empty otherwise; "记录 R 条/秒，最后 A 秒前" while running.
    std::string outageText(std::int64_t nowMs) const;
    std::string rateText(std::int64_t nowMs);

private:
    std::int64_t m_lostAfterMs = kDefaultLostAfterMs;
    bool m_running = false;
    bool m_lost = false;
    std::int64_t m_silenceFromMs = 0;
    std::optional<std::int64_t> m_lastRecordMs;
    std::int64_t m_restoredAtMs = 0;
    std::int64_t m_lastOutageMs = -1; // -1: no outage shown
    std::deque<std::int64_t> m_recent;
    SLinkStats m_stats;
};

} // namespace orvex
