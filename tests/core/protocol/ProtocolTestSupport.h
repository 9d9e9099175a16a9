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
#include <utility>
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
    return u8(u8(b, v & 0xFF), (v >> 8) & 0xFF);
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
    return u8(b, sumOf(b));
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

struct SSample {
    std::string event;
    Bytes frame;
};

// One frame for every keyword the serial receiver knows, in its table order (the UDP receiver
// knows a subset; "$MG1" is on UDP only). The GPS lines are long enough to be dispatched.
inline std::vector<SSample> sampleFrames()
{
    std::vector<SSample> s;
    Bytes b;
    b = ascii("$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    s.push_back({"$GPGGA", b});
    b = ascii("$GPRMC,235959.00,A,2232.1200,N,11356.4000,E,0.0,0.0,010124,,,A*00\r\n");
    s.push_back({"$GPRMC", b});
    b = ascii("$PAI"); le16(b, 3); f32(b, 22.5f); f32(b, 113.25f); s.push_back({"$PAI", withSum(b)});
    b = ascii("$PAED"); zeros(b, 2); f32(b, 1.5f); f32(b, -2.0f); s.push_back({"$PAED", withSum(b)});
    b = ascii("$PASUM"); le16(b, 0x0102); le16(b, 0x0304); s.push_back({"$PASUM", b});
    s.push_back({"$STP", stpFrame(22.5f, 113.5f)});
    b = ascii("$PAR"); for (int i = 0; i < 40; ++i) u8(b, i + 1); s.push_back({"$PAR", withSum(b)});
    b = ascii("$MG2"); f32(b, 1.0f); f32(b, 2.0f); u8(b, sumOf(b, 4)); s.push_back({"$MG2", b});
    b = ascii("$MG3"); f32(b, 0.5f); f32(b, -0.25f); u8(b, sumOf(b, 4)); s.push_back({"$MG3", b});
    b = ascii("$PUR"); for (int i = 0; i < 32; ++i) u8(b, 250 + i); u8(b, 0x77); s.push_back({"$PUR", b});
    b = ascii("$P2T"); for (int i = 0; i < 78; ++i) u8(b, 255 - i); s.push_back({"$P2T", withSum(b)});
    b = ascii("$POR"); zeros(b, 40); s.push_back({"$POR", withSum(b)});
    // "$SETD": number, latitude, longitude, altitude (signed), photo mode, 2 spare, circle flag,
    // circle time high byte first, 3 spare.
    b = ascii("$SETD"); u8(b, 3); f32(b, 22.5f); f32(b, 113.75f); le32(b, uint32_t(-20)); le32(b, 2); zeros(b, 2);
    u8(b, 1); u8(b, 0x12); u8(b, 0x34); zeros(b, 3); s.push_back({"$SETD", withSum(b)});
    b = ascii("$DJSJ"); for (int i = 0; i < 9; ++i) { u8(b, 100 + i); u8(b, i & 1); } s.push_back({"$DJSJ", withSum(b)});
    for (const char* ack : {"$DOYMM", "$DOYMA", "$DOYMS", "$DOCAP", "$DOCUT", "$DOCNC", "$DOCAG", "$DOCKA", "$DOCS1",
                            "$DOCS2", "$DOCS3", "$T2POK", "$STSAT"})
        s.push_back({ack, ascii(ack)});
    s.push_back({"$SATEL?", ascii("$SATEL")});
    b = ascii("$DIN"); zeros(b, 9); s.push_back({"$DIN", withSum(b)});
    b = ascii("$QUZA"); le16(b, 7); f32(b, 113.5f); f32(b, 22.25f); zeros(b, 20); s.push_back({"$QUZA", b});
    b = ascii("$MG1");
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f})
        f32(b, v);
    u8(b, sumOf(b, 4));
    s.push_back({"$MG1", b});
    return s;
}

inline Bytes sampleFrame(std::string_view event)
{
    for (auto& s : sampleFrames())
        if (s.event == event)
            return s.frame;
    return {};
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
    std::vector<SWaypointIndexEcho> indexEchoes;
    std::vector<SServoChannels> servos;
    std::vector<SDrop> drops;

    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override { events.push_back("$STP"); records.push_back(r); }
    void onNmeaLine(const SNmeaLine& line) override { events.push_back(std::string(line.keyword)); nmeaLines.push_back(line); }
    void onNmeaPosition(const CTelemetryRecord& r) override { positions.push_back(r); }
    void onAcknowledgement(const SAcknowledgement& ack) override { events.push_back(std::string(ack.keyword)); messages.push_back(std::string(ack.message)); }
    void onAlignmentQuestion(const SAcknowledgement& ack) override { events.push_back(std::string(ack.keyword) + "?"); messages.push_back(std::string(ack.message)); }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override { events.push_back("$PAR"); parameters.push_back(v); }
    void onCompassPoint(const SCompassPoint& p, EDownlinkLink) override { events.push_back(p.plane == ECompassPlane::XY ? "$MG2" : "$MG3"); compassPoints.push_back(p); }
    void onCompassCalibration(const SCompassCalibration&) override { events.push_back("$MG1"); }
    void onCustomParameters(const SCustomParameters&, EDownlinkLink) override { events.push_back("$PUR"); }
    void onWaypointEcho(const SWaypointEcho&, EDownlinkLink) override { events.push_back("$SETD"); }
    void onParameterSnapshot(const SParameterSnapshot&) override { events.push_back("$P2T"); }
    void onPhotoReport(const SPhotoReport&) override { events.push_back("$QUZA"); }
    void onPhotoMark(const SPhotoMark&) override { events.push_back("$PAED"); }
    void onWaypointIndexEcho(const SWaypointIndexEcho& e) override { events.push_back("$PAI"); indexEchoes.push_back(e); }
    void onRouteSummary(const SRouteSummary&) override { events.push_back("$PASUM"); }
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
