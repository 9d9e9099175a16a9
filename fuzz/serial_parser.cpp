// The serial parsing cycle on arbitrary bytes: no crash, the receive buffer never fills up, every
// frame handed on carries a good sum, and decoding the values never misbehaves. A handler that
// feeds bytes back into the parser (as a nested event loop would) is exercised too.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>

#include "protocol/SerialParser.h"

using namespace orvex;

namespace {

class CCheckingSink : public IDownlinkSink {
public:
    CSerialParser* parser = nullptr;
    std::span<const uint8_t> echo;
    std::size_t events = 0;
    uint64_t trace = 0; // a running hash of every event and drop, in order

    void note(uint64_t v) { trace = (trace ^ v) * 1099511628211ull; }
    void onDropped(const SDrop& d) override { note(static_cast<uint64_t>(d.reason) << 32 | d.count); }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override { note(v.values[0] + 1000); }
    void onCompassPoint(const SCompassPoint& p, EDownlinkLink) override { note(p.sumOk ? 2001 : 2002); }
    void onCustomParameters(const SCustomParameters& c, EDownlinkLink) override { note(3000 + c.raw[0]); }
    void onWaypointEcho(const SWaypointEcho& e, EDownlinkLink) override { note(4000 + e.number); }
    void onParameterSnapshot(const SParameterSnapshot& s) override { note(5000 + s.values[0]); }
    void onPhotoMark(const SPhotoMark&) override { note(6000); }
    void onWaypointIndexEcho(const SWaypointIndexEcho& e) override { note(7000 + e.index); }
    void onRouteSummary(const SRouteSummary& s) override { note(80000 + s.first); }
    void onServoChannels(const SServoChannels& s) override { note(9000 + s.position[0]); }
    void onOpaqueFrame(std::string_view k, std::span<const uint8_t>) override { note(10000 + k.size()); }
    void onAlignmentQuestion(const SAcknowledgement&) override { note(11000); }

    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override
    {
        const auto& b = r.bytes();
        if (b[0] != '$' || b[1] != 'S' || b[2] != 'T' || b[3] != 'P')
            std::abort();
        if (bytes::sum8(b.data(), b.data() + 98) != b[98])
            std::abort();
        const SStaticAngle a = staticAngle(r);
        if (!std::isfinite(a.roll) || !std::isfinite(a.pitch))
            std::abort();
        (void)trackAngleDegrees(CTelemetryRecord::initialCurrent(), r);
        (void)r.isValidForUpdate();
        for (const auto& f : telemetryFields())
            (void)telemetryFieldValue(r, f);
        note(r.bytes()[12]);
        ++events;
    }
    void onNmeaLine(const SNmeaLine& line) override
    {
        if (line.length == 0 || line.length > CSerialParser::kBufferBytes)
            std::abort();
        if (line.record.timeHour() > 23)
            std::abort();
        note(line.length);
        ++events;
    }
    void onPhotoReport(const SPhotoReport& r) override
    {
        if (photoDataLine(r).empty())
            std::abort();
        note(r.pictureNumber);
        ++events;
    }
    void onAcknowledgement(const SAcknowledgement& ack) override
    {
        if (ack.message.empty())
            std::abort();
        note(static_cast<uint64_t>(ack.kind) + 12000);
        // Feed a few bytes back from inside the handler.
        if (parser && !echo.empty()) {
            parser->feed(echo.first(std::min<std::size_t>(echo.size(), 8)));
            echo = {};
        }
        ++events;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CCheckingSink sink;
    CSerialParser parser(sink);
    for (std::size_t i = 0; i < size; ++i) {
        parser.feed(data[i]);
        if (parser.fillCount() >= CSerialParser::kBufferBytes)
            std::abort();
    }
    // Fed in uneven pieces: exactly the same actions as byte by byte.
    CCheckingSink pieces;
    CSerialParser second(pieces);
    for (std::size_t at = 0, n = 1; at < size; at += n, n = n * 2 + 1)
        second.feed(std::span<const uint8_t>(data + at, std::min(n, size - at)));
    if (pieces.trace != sink.trace || pieces.events != sink.events || second.fillCount() != parser.fillCount())
        std::abort();
    // With a handler that feeds bytes back while it runs.
    CCheckingSink reentrant;
    CSerialParser third(reentrant);
    reentrant.parser = &third;
    reentrant.echo = std::span<const uint8_t>(data, size);
    third.feed(std::span<const uint8_t>(data, size));
    if (third.fillCount() >= CSerialParser::kBufferBytes)
        std::abort();
    return 0;
}
