#include "flightlog/Replay.h"

#include "flightlog/RecordStore.h"
#include "base/Format.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace orvex {

namespace {

float floatAt(const std::uint8_t* p)
{
    const std::uint32_t bits = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                               (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    return std::bit_cast<float>(bits);
}

constexpr int kSecondsPerDay = 24 * 60 * 60;

// Seconds since midnight from a record's clock, -1 when the bytes are no time of day.
int secondOfDay(const std::uint8_t* record)
{
    const int hour = record[28], minute = record[29], second = record[30];
    if (hour > 23 || minute > 59 || second > 59) return -1;
    return (hour * 60 + minute) * 60 + second;
}

std::string minutesSeconds(int from, int to)
{
    if (from < 0 || to < 0) return "--:--";
    const int seconds = (to - from + kSecondsPerDay) % kSecondsPerDay;
    return strprintf("%02d:%02d", seconds / 60, seconds % 60);
}

} // namespace

std::string replayClockText(const std::uint8_t* shown, const std::uint8_t* first, const std::uint8_t* last)
{
    const int now = secondOfDay(shown);
    const std::string timeOfDay =
        now < 0 ? "--:--:--" : strprintf("%02d:%02d:%02d", shown[28], shown[29], shown[30]);
    const int start = secondOfDay(first);
    return timeOfDay + "  " + minutesSeconds(start, now) + " / " + minutesSeconds(start, secondOfDay(last));
}

int replayIntervalForSpeed(int p)
{
    if (p < 0) p = 0;
    if (p > kSpeedSliderMax) p = kSpeedSliderMax;
    const double ms = p <= 16 ? 10.0 * std::pow(2.0, (16 - p) * 0.5) : 10.0 / std::pow(2.0, (p - 16) * 0.5);
    return int(ms); // truncated toward zero
}

int replayProgress(std::size_t position, std::size_t count)
{
    if (count == 0) return 0;
    if (position > count) position = count;
    return int((unsigned __int128)position * kProgressRange / count);
}

std::size_t replaySeekIndex(std::size_t count, int p)
{
    if (p < 0) p = 0;
    if (p >= kProgressRange) p = kProgressRange - 1;
    return std::size_t((unsigned __int128)count * unsigned(p) / kProgressRange);
}

bool recordPositionValid(const std::uint8_t* record)
{
    const float latitude = floatAt(record + 4);
    const float longitude = floatAt(record + 8);
    // NaN fails both comparisons.
    return latitude >= -90.0f && latitude <= 90.0f && longitude >= -180.0f && longitude <= 180.0f;
}

CReplay::SLoadResult CReplay::load(const std::string& path)
{
    SLoadResult result;
    m_running = false;
    if (!m_store.loadFile(path, &result.error)) return result;
    result.ok = true;
    const std::size_t count = m_store.count();
    std::size_t i = 0;
    while (i < count) {
        result.currentRecord = i;
        if (!recordIsEmpty(m_store.record(i))) break;
        ++i;
    }
    result.startPosition = i;
    m_firstShown = i < count ? i : 0;
    m_lastGood = m_firstShown;
    for (std::size_t k = count; k > m_firstShown; --k)
        if (recordChecksumOk(m_store.record(k - 1)) && !recordIsEmpty(m_store.record(k - 1))) {
            m_lastGood = k - 1;
            break;
        }
    m_store.setDisplayIndex(i);
    m_running = true;
    return result;
}

CReplay::STickResult CReplay::tick()
{
    STickResult result;
    if (!m_store.isHeld()) return result;
    const std::size_t count = m_store.count();
    std::size_t position = m_store.displayIndex();
    if (count > 0 && position < count - 1) {
        ++position;
        m_store.setDisplayIndex(position);
        if (recordChecksumOk(m_store.record(position))) result.show = position;
    }
    if (count > 0) result.progress = replayProgress(position, count);
    return result;
}

CReplay::SSeekResult CReplay::seek(int sliderPosition)
{
    SSeekResult result;
    if (!m_store.isHeld()) return result;
    const std::size_t count = m_store.count();
    const std::size_t k = replaySeekIndex(count, sliderPosition);
    // Copying records 0 .. k-1 one after another into the current record leaves the last good
    // one there; looking back from k-1 finds it without touching the rest of the file.
    for (std::size_t i = k; i > 0; --i) {
        const std::uint8_t* r = m_store.record(i - 1);
        if (recordChecksumOk(r) && recordPositionValid(r)) {
            result.currentRecord = i - 1;
            break;
        }
    }
    m_store.setDisplayIndex(k);
    result.position = k;
    if (count > 0) result.progress = replayProgress(k, count);
    return result;
}

bool CReplay::atEnd() const
{
    const std::size_t count = m_store.isHeld() ? m_store.count() : 0;
    return count == 0 || m_store.displayIndex() + 1 >= count;
}

std::string CReplay::clockText() const
{
    const std::size_t count = m_store.isHeld() ? m_store.count() : 0;
    if (count == 0) return {};
    const std::size_t shown = std::min(m_store.displayIndex(), count - 1);
    return replayClockText(m_store.record(shown), m_store.record(m_firstShown), m_store.record(m_lastGood));
}

} // namespace orvex
