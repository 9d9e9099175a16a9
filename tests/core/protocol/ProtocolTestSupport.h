#pragma once
// Byte-vector helpers and a recording sink for the protocol tests. Frames are put together here
// from their byte layouts (ASCII heads, little-endian fields, 8-bit sums), independently of the
// program's own frame builders.

#include <bit>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "support/StpRecord.h"

namespace orvex::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// "24 53 54 50" -> bytes
inline Bytes hex(std::string_view text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (std::isxdigit(static_cast<unsigned char>(text[i])) && std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            out.push_back(static_cast<uint8_t>(std::stoul(std::string(text.substr(i++, 2)), nullptr, 16)));
    return out;
}

inline Bytes& operator<<(Bytes& b, std::string_view text)
{
    b.insert(b.end(), text.begin(), text.end());
    return b;
}
inline Bytes& operator<<(Bytes& b, const Bytes& more)
{
    b.insert(b.end(), more.begin(), more.end());
    return b;
}
inline Bytes& u8(Bytes& b, unsigned v)
{
    b.push_back(static_cast<uint8_t>(v));
    return b;
}
inline Bytes& le16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    return b;
}
inline Bytes& le32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return b;
}
inline Bytes& f32(Bytes& b, float v)
{
    return le32(b, std::bit_cast<uint32_t>(v));
}
inline Bytes& zeros(Bytes& b, std::size_t n)
{
    b.insert(b.end(), n, 0);
    return b;
}
inline uint8_t sumOf(const Bytes& b, std::size_t from = 0, std::size_t to = std::string::npos)
{
    unsigned s = 0;
    for (std::size_t i = from; i < b.size() && i < to; ++i)
        s += b[i];
    return static_cast<uint8_t>(s & 0xFF);
}
// Appends the 8-bit sum of every byte so far.
inline Bytes& withSum(Bytes& b)
{
    const uint8_t s = sumOf(b);
    b.push_back(s);
    return b;
}
inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out << p;
    return out;
}

// A "$STP" frame (the shared builder) with the given extra bytes set; good sum.
inline Bytes stpFrame(float latitude, float longitude, std::initializer_list<std::pair<std::size_t, uint8_t>> set = {})
{
    StpBytes f = stpRecord(latitude, longitude);
    for (auto [at, v] : set)
        f[at] = v;
    sealStp(f);
    return Bytes(f.begin(), f.end());
}

// Records every event as one line of text, in order, and keeps the typed values.
class CRecordingSink : public IDownlinkSink {
public:
    std::vector<std::string> events;
    std::vector<CTelemetryRecord> records;
    std::vector<SNmeaLine> nmeaLines;
    std::vector<CTelemetryRecord> positions;
    std::vector<std::string> messages;
    std::vector<SParameterValues> parameters;
    std::vector<SCompassPoint> compassPoints;
    std::vector<SCompassCalibration> calibrations;
    std::vector<SCustomParameters> customs;
    std::vector<SWaypointEcho> echoes;
    std::vector<SParameterSnapshot> snapshots;
    std::vector<SPhotoReport> photos;
    std::vector<SPhotoMark> marks;
    std::vector<SWaypointIndexEcho> indexEchoes;
    std::vector<SRouteSummary> summaries;
    std::vector<SServoChannels> servos;
    std::vector<SDrop> drops;

    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override { events.push_back("$STP"); records.push_back(r); }
    void onNmeaLine(const SNmeaLine& line) override { events.push_back(std::string(line.keyword)); nmeaLines.push_back(line); }
    void onNmeaPosition(const CTelemetryRecord& r) override { positions.push_back(r); }
    void onAcknowledgement(const SAcknowledgement& ack) override { events.push_back(std::string(ack.keyword)); messages.push_back(std::string(ack.message)); }
    void onAlignmentQuestion(const SAcknowledgement& ack) override { events.push_back(std::string(ack.keyword) + "?"); messages.push_back(std::string(ack.message)); }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override { events.push_back("$PAR"); parameters.push_back(v); }
    void onCompassPoint(const SCompassPoint& p, EDownlinkLink) override { events.push_back(p.plane == ECompassPlane::XY ? "$MG2" : "$MG3"); compassPoints.push_back(p); }
    void onCompassCalibration(const SCompassCalibration& c) override { events.push_back("$MG1"); calibrations.push_back(c); }
    void onCustomParameters(const SCustomParameters& c, EDownlinkLink) override { events.push_back("$PUR"); customs.push_back(c); }
    void onWaypointEcho(const SWaypointEcho& e, EDownlinkLink) override { events.push_back("$SETD"); echoes.push_back(e); }
    void onParameterSnapshot(const SParameterSnapshot& s) override { events.push_back("$P2T"); snapshots.push_back(s); }
    void onPhotoReport(const SPhotoReport& r) override { events.push_back("$QUZA"); photos.push_back(r); }
    void onPhotoMark(const SPhotoMark& m) override { events.push_back("$PAED"); marks.push_back(m); }
    void onWaypointIndexEcho(const SWaypointIndexEcho& e) override { events.push_back("$PAI"); indexEchoes.push_back(e); }
    void onRouteSummary(const SRouteSummary& s) override { events.push_back("$PASUM"); summaries.push_back(s); }
    void onServoChannels(const SServoChannels& s) override { events.push_back("$DJSJ"); servos.push_back(s); }
    void onOpaqueFrame(std::string_view keyword, std::span<const uint8_t>) override { events.push_back(std::string(keyword)); }
    void onDropped(const SDrop& d) override { drops.push_back(d); }

    std::size_t droppedFor(EDropReason reason) const
    {
        std::size_t n = 0;
        for (const auto& d : drops)
            if (d.reason == reason)
                n += d.count;
        return n;
    }
};

} // namespace orvex::test
