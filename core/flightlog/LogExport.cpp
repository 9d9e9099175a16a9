#include "flightlog/LogExport.h"

#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"
#include "util/Format.h"

#include <charconv>
#include <cmath>

namespace orvex {

namespace {

constexpr long kSecondsPerDay = 86400;

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

bool timeOfDay(const std::uint8_t* record, long* seconds)
{
    const unsigned h = record[28], m = record[29], s = record[30];
    if (h > 23 || m > 59 || s > 59 || (h == 0 && m == 0 && s == 0)) return false;
    *seconds = long(h) * 3600 + long(m) * 60 + long(s);
    return true;
}

void writeCsv(const CRecordStore& store, COutput& out)
{
    const auto fields = telemetryFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out.put(',');
        out.put(fields[i].name);
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
        out.put('\n');
    }
}

void writeKml(const CRecordStore& store, const std::string& name, COutput& out)
{
    out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>");
    out.put(xmlEscape(name));
    out.put("</name>\n");
    std::size_t valid = 0;
    for (std::size_t r = 0; r < store.count(); ++r)
        valid += recordHasValidPosition(store.record(r)) ? 1 : 0;
    if (valid > 0) {
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

void writeGpx(const CRecordStore& store, const std::string& name, COutput& out)
{
    out.put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"orvex\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk>\n<name>");
    out.put(xmlEscape(name));
    out.put("</name>\n<trkseg>\n");
    for (std::size_t r = 0; r < store.count(); ++r) {
        const std::uint8_t* rec = store.record(r);
        if (!recordHasValidPosition(rec)) continue;
        out.put("<trkpt lat=\"");
        out.putFloat(bytes::readF32(rec + 4));
        out.put("\" lon=\"");
        out.putFloat(bytes::readF32(rec + 8));
        out.put("\"><ele>");
        out.put(altitudeMetres(rec));
        out.put("</ele></trkpt>\n");
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
        long t;
        if (timeOfDay(rec, &t)) {
            if (!firstTime) firstTime = t;
            lastTime = t;
        }
    }
    if (firstTime)
        s.durationSeconds = ((*lastTime - *firstTime) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
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
                     "\"first\": %s, \"last\": %s, \"durationSeconds\": %s}",
                     s.records, s.tailBytes, s.emptyRecords, s.badChecksum, position(s.first).c_str(),
                     position(s.last).c_str(),
                     s.durationSeconds ? std::to_string(*s.durationSeconds).c_str() : "null");
}

bool exportLog(const CRecordStore& store, ELogExportFormat format, const std::string& name, std::FILE* out)
{
    COutput output(out);
    switch (format) {
    case ELogExportFormat::Csv:
        writeCsv(store, output);
        break;
    case ELogExportFormat::Kml:
        writeKml(store, name, output);
        break;
    case ELogExportFormat::Gpx:
        writeGpx(store, name, output);
        break;
    }
    return output.finish();
}

} // namespace orvex
