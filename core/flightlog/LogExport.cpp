#include "flightlog/LogExport.h"

#include "flightlog/PlotFields.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"
#include "base/Format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace orvex {

namespace {

// Output buffered in large pieces; write errors are remembered and reported at the end.
class COutput {
  public:
    explicit COutput(std::FILE* out) : m_out(out) { m_buffer.reserve(kChunk + 4096); }
    void put(std::string_view s)
    {
        m_buffer.append(s);
        if (m_buffer.size() >= kChunk) drain();
    }
    void put(char c) { m_buffer.push_back(c); }
    void putFloat(float v)
    {
        char text[32];
        auto r = std::to_chars(text, text + sizeof text, v);
        m_buffer.append(text, r.ptr);
    }
    void putFixed(double v, int decimals)
    {
        if (!std::isfinite(v)) {
            m_buffer.append("nan");
            return;
        }
        char text[64];
        auto r = std::to_chars(text, text + sizeof text, v + 0.0, std::chars_format::fixed, decimals);
        m_buffer.append(text, r.ptr);
    }
    void putInt(long long v)
    {
        char text[24];
        auto r = std::to_chars(text, text + sizeof text, v);
        m_buffer.append(text, r.ptr);
    }
    bool finish()
    {
        drain();
        return m_ok && std::fflush(m_out) == 0 && !std::ferror(m_out);
    }

  private:
    static constexpr std::size_t kChunk = 1 << 20;
    void drain()
    {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }
    std::FILE* m_out;
    std::string m_buffer;
    bool m_ok = true;
};

std::string xmlEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters are not allowed in XML 1.0 text.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

std::string floatText(float v)
{
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

std::string altitudeMetres(const std::uint8_t* record)
{
    return strprintf("%.1f", bytes::readI16(record + 48) / 10.0);
}

void writeCsv(const CRecordStore& store, COutput& out)
{
    const auto fields = telemetryFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out.put(',');
        out.put(fields[i].name);
    }
    const auto plots = plotFields();
    for (const auto& f : plots) {
        out.put(',');
        out.put(f.name);
    }
    out.put('\n');
    using T = ETelemetryFieldType;
    for (std::size_t r = 0; r < store.count(); ++r) {
        const std::uint8_t* rec = store.record(r);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i) out.put(',');
            const std::uint8_t* p = rec + fields[i].offset;
            switch (fields[i].type) {
            case T::U8:
                out.putInt(p[0]);
                break;
            case T::I8:
                out.putInt(static_cast<std::int8_t>(p[0]));
                break;
            case T::U16:
                out.putInt(bytes::readU16(p));
                break;
            case T::I16:
                out.putInt(bytes::readI16(p));
                break;
            case T::I16HighFirst:
                out.putInt(bytes::highLowI16(p[0], p[1]));
                break;
            case T::I32:
                out.putInt(bytes::readI32(p));
                break;
            case T::F32:
                out.putFloat(bytes::readF32(p));
                break;
            }
        }
        CTelemetryRecord::Bytes bytes;
        std::memcpy(bytes.data(), rec, bytes.size());
        const CTelemetryRecord record(bytes);
        for (const auto& f : plots) {
            out.put(',');
            out.putFixed(f.read(record), f.decimals);
        }
        out.put('\n');
    }
}

void writeKml(const CRecordStore& store, const std::string& name, const std::optional<SLogClock>& clock,
              COutput& out)
{
    out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
            "<Document>\n<name>");
    out.put(xmlEscape(name));
    out.put("</name>\n");
    std::size_t valid = 0;
    for (std::size_t r = 0; r < store.count(); ++r)
        valid += recordHasValidPosition(store.record(r)) ? 1 : 0;
    if (valid > 0 && clock) {
        // A timed track: each valid position with a time of day, its instant beside it.
        out.put("<Placemark>\n<name>");
        out.put(xmlEscape(name));
        out.put("</name>\n<gx:Track>\n<altitudeMode>absolute</altitudeMode>\n");
        std::string coords;
        CLogTimes times(*clock);
        for (std::size_t r = 0; r < store.count(); ++r) {
            const std::uint8_t* rec = store.record(r);
            if (!recordChecksumOk(rec) || recordIsEmpty(rec)) continue;
            const auto t = times.next(rec);
            if (!t || !recordPositionValid(rec)) continue;
            out.put("<when>" + utcTimeText(*t) + "</when>\n");
            coords += "<gx:coord>" + floatText(bytes::readF32(rec + 8)) + " " + floatText(bytes::readF32(rec + 4)) +
                      " " + altitudeMetres(rec) + "</gx:coord>\n";
        }
        out.put(coords);
        out.put("</gx:Track>\n</Placemark>\n");
    } else if (valid > 0) {
        out.put("<Placemark>\n<name>");
        out.put(xmlEscape(name));
        out.put(valid == 1 ? "</name>\n<Point>\n" : "</name>\n<LineString>\n<tessellate>1</tessellate>\n");
        out.put("<altitudeMode>absolute</altitudeMode>\n<coordinates>\n");
        for (std::size_t r = 0; r < store.count(); ++r) {
            const std::uint8_t* rec = store.record(r);
            if (!recordHasValidPosition(rec)) continue;
            out.putFloat(bytes::readF32(rec + 8));
            out.put(',');
            out.putFloat(bytes::readF32(rec + 4));
            out.put(',');
            out.put(altitudeMetres(rec));
            out.put('\n');
        }
        out.put(valid == 1 ? "</coordinates>\n</Point>\n" : "</coordinates>\n</LineString>\n");
        out.put("</Placemark>\n");
    }
    out.put("</Document>\n</kml>\n");
}

void writeGpx(const CRecordStore& store, const std::string& name, const std::optional<SLogClock>& clock,
              COutput& out)
{
    out.put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"orvex\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk>\n<name>");
    out.put(xmlEscape(name));
    out.put("</name>\n<trkseg>\n");
    std::optional<CLogTimes> times;
    if (clock) times.emplace(*clock);
    for (std::size_t r = 0; r < store.count(); ++r) {
        const std::uint8_t* rec = store.record(r);
        const auto t = times && recordChecksumOk(rec) && !recordIsEmpty(rec) ? times->next(rec) : std::nullopt;
        if (!recordHasValidPosition(rec)) continue;
        out.put("<trkpt lat=\"");
        out.putFloat(bytes::readF32(rec + 4));
        out.put("\" lon=\"");
        out.putFloat(bytes::readF32(rec + 8));
        out.put("\"><ele>");
        out.put(altitudeMetres(rec));
        out.put("</ele>");
        if (t) out.put("<time>" + utcTimeText(*t) + "</time>");
        out.put("</trkpt>\n");
    }
    out.put("</trkseg>\n</trk>\n</gpx>\n");
}

} // namespace

bool recordHasValidPosition(const std::uint8_t* record)
{
    return recordChecksumOk(record) && !recordIsEmpty(record) && recordPositionValid(record);
}

SLogSummary summarizeLog(const CRecordStore& store, std::uint64_t fileSize)
{
    SLogSummary s;
    s.records = store.count();
    s.tailBytes = std::size_t(fileSize % kRecordSize);
    std::optional<long> firstTime, lastTime;
    for (std::size_t r = 0; r < store.count(); ++r) {
        const std::uint8_t* rec = store.record(r);
        const bool sumOk = recordChecksumOk(rec);
        if (!sumOk) ++s.badChecksum;
        if (recordIsEmpty(rec)) {
            ++s.emptyRecords;
            continue;
        }
        if (!sumOk) continue;
        if (recordPositionValid(rec)) {
            const SLogPosition p{bytes::readF32(rec + 4), bytes::readF32(rec + 8)};
            if (!s.first) s.first = p;
            s.last = p;
        }
        if (const auto t = recordTimeOfDay(rec)) {
            if (!firstTime) firstTime = t;
            lastTime = t;
        }
    }
    if (firstTime)
        s.durationSeconds = ((*lastTime - *firstTime) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    s.flight = summarizeFlight(store);
    return s;
}

std::string logSummaryJson(const SLogSummary& s)
{
    auto position = [](const std::optional<SLogPosition>& p) -> std::string {
        if (!p) return "null";
        return "{\"latitude\": " + floatText(p->latitude) + ", \"longitude\": " + floatText(p->longitude) +
               "}";
    };
    return strprintf("{\"records\": %zu, \"tailBytes\": %zu, \"emptyRecords\": %zu, \"badChecksum\": %zu, "
                     "\"first\": %s, \"last\": %s, \"durationSeconds\": %s, \"summary\": %s}",
                     s.records, s.tailBytes, s.emptyRecords, s.badChecksum, position(s.first).c_str(),
                     position(s.last).c_str(),
                     s.durationSeconds ? std::to_string(*s.durationSeconds).c_str() : "null",
                     flightSummaryJson(s.flight).c_str());
}

std::optional<SLogClock> logClockFromName(const std::string& fileName, std::optional<double> utcOffsetHours)
{
    const std::string stem = std::filesystem::path(fileName).stem().string();
    if (stem.size() != 14 || stem.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const auto digits = [&](std::size_t at, std::size_t n) { return std::stoi(stem.substr(at, n)); };
    std::tm local{};
    local.tm_year = digits(0, 4) - 1900;
    local.tm_mon = digits(4, 2) - 1;
    local.tm_mday = digits(6, 2);
    local.tm_hour = digits(8, 2);
    local.tm_min = digits(10, 2);
    local.tm_sec = digits(12, 2);
    local.tm_isdst = -1;
    if (local.tm_mon > 11 || local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour > 23 || local.tm_min > 59 ||
        local.tm_sec > 60)
        return std::nullopt;
    const std::time_t opened = std::mktime(&local);
    if (opened == std::time_t(-1)) return std::nullopt;
    SLogClock c;
    c.opened = opened;
    c.recordUtcOffsetSeconds = utcOffsetHours ? long(std::lround(*utcOffsetHours * 3600)) : local.tm_gmtoff;
    return c;
}

std::optional<long long> CLogTimes::next(const std::uint8_t* record)
{
    const auto tod = recordTimeOfDay(record);
    if (!tod) return std::nullopt;
    if (m_last) {
        *m_last += ((*tod - m_lastTimeOfDay) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    } else {
        // The record's day in its own zone, chosen nearest to the opening of the link.
        const long long openedInZone = m_clock.opened + m_clock.recordUtcOffsetSeconds;
        const long long day = openedInZone - ((openedInZone % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
        long long best = 0;
        for (long long d = day - kSecondsPerDay; d <= day + kSecondsPerDay; d += kSecondsPerDay) {
            const long long instant = d + *tod - m_clock.recordUtcOffsetSeconds;
            if (d == day - kSecondsPerDay || std::llabs(instant - m_clock.opened) < std::llabs(best - m_clock.opened))
                best = instant;
        }
        m_last = best;
    }
    m_lastTimeOfDay = *tod;
    return m_last;
}

std::string utcTimeText(long long secondsSince1970)
{
    const std::time_t t = std::time_t(secondsSince1970);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return strprintf("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                     utc.tm_min, utc.tm_sec);
}

bool exportLog(const CRecordStore& store, ELogExportFormat format, const std::string& name, std::FILE* out,
               const std::optional<SLogClock>& clock)
{
    COutput output(out);
    switch (format) {
    case ELogExportFormat::Csv:
        writeCsv(store, output);
        break;
    case ELogExportFormat::Kml:
        writeKml(store, name, clock, output);
        break;
    case ELogExportFormat::Gpx:
        writeGpx(store, name, clock, output);
        break;
    }
    return output.finish();
}

} // namespace orvex
