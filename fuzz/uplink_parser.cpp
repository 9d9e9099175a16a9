// The aircraft's side of the uplink on arbitrary bytes: the uplink parser cuts them into frames and
// the simulated aircraft acts on every accepted frame while its clock runs on. Checked: no crash or
// hang; the parser keeps less than one frame pending; feeding the same bytes in uneven pieces gives
// the same frames and drops; whatever the aircraft sends back is a whole sentence the ground
// station's serial parser takes without a drop; the aircraft's state stays finite and its waypoint
// bookkeeping consistent.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"
#include "protocol/UplinkParser.h"
#include "sim/SimAircraft.h"

using namespace orvex;

namespace {

class CDropCounter : public IDownlinkSink {
  public:
    std::size_t drops = 0;
    void onDropped(const SDrop&) override { ++drops; }
};

bool wifiSentence(std::span<const uint8_t> s)
{
    for (std::string_view k : {"$STP", "$SETD", "$DOCAP", "$PAR", "$MG2", "$MG3", "$MG1", "$PUR"})
        if (s.size() >= k.size() && std::memcmp(s.data(), k.data(), k.size()) == 0)
            return true;
    return false;
}

// Every sentence the aircraft sends goes through a fresh receiver of the ground station for its
// link: the serial parsing cycle, or the WiFi sentence step.
class CCheckingOutput : public ISimOutput {
  public:
    std::size_t sentences = 0;
    void send(ESimLink link, std::span<const uint8_t> sentence) override
    {
        if (sentence.empty() || sentence[0] != '$')
            std::abort();
        CDropCounter sink;
        if (link == ESimLink::Serial) {
            CSerialParser parser(sink);
            parser.feed(sentence);
        } else {
            // The WiFi receiver knows its eight sentences and passes over the rest as noise (the
            // aircraft also sends acknowledgements such as "$SATEL" there).
            if (!wifiSentence(sentence))
                return;
            CUdpSentenceStep udp(sink);
            udp.append(sentence);
            udp.run(true);
            if (udp.size() != 0)
                std::abort();
        }
        if (sink.drops != 0)
            std::abort();
        ++sentences;
    }
};

// A compact fingerprint of one frame, to compare two parses of the same bytes.
uint64_t fingerprint(const SUplinkFrame& f)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    mix(static_cast<uint64_t>(f.kind));
    mix(f.code);
    mix(f.number);
    for (uint8_t b : f.data)
        mix(b);
    for (uint8_t b : f.values)
        mix(b);
    for (uint16_t s : f.sticks)
        mix(s);
    mix(static_cast<uint32_t>(f.altitudeDecimetres));
    mix(static_cast<uint32_t>(f.altitudeMetres));
    return h;
}

void checkAircraft(const CSimAircraft& sim, int64_t nowMs)
{
    if (!std::isfinite(sim.latitude()) || !std::isfinite(sim.longitude()) || !std::isfinite(sim.altitudeMetres()))
        std::abort();
    if (std::fabs(sim.latitude()) > 90 || std::fabs(sim.longitude()) > 360)
        std::abort();
    if (!std::isfinite(sim.headingRadians()) || !std::isfinite(sim.groundSpeed()))
        std::abort();
    if (sim.waypoints().size() < sim.storedWaypointCount())
        std::abort();
    if (sim.storedWaypointCount() != 0 && sim.targetWaypoint() >= sim.storedWaypointCount())
        std::abort();
    if (sim.nextDeadlineMs() <= nowMs)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: piece length 1-32 and the link; second: clock step per piece, 0-1260 ms.
    const std::size_t piece = (data[0] & 31) + 1;
    const ESimLink link = (data[0] & 32) ? ESimLink::Udp : ESimLink::Serial;
    const int64_t stepMs = (data[1] & 63) * 20;
    const std::span<const uint8_t> bytes(data + 2, size - 2);

    // Byte by byte, remembering what came out.
    std::vector<uint64_t> whole;
    CUplinkParser reference([&whole](const SUplinkFrame& f) { whole.push_back(fingerprint(f)); });
    for (uint8_t b : bytes)
        reference.feed(std::span<const uint8_t>(&b, 1));
    if (reference.pending() >= CUplinkParser::kFrameBytes || reference.framesAccepted() != whole.size())
        std::abort();

    CCheckingOutput output;
    CSimAircraft sim(SSimConfig{}, output);
    sim.setLinkActive(ESimLink::Serial, true);
    sim.setLinkActive(ESimLink::Udp, true);
    int64_t nowMs = 0;
    sim.start(nowMs);

    std::vector<uint64_t> pieces;
    CUplinkParser parser([&](const SUplinkFrame& f) {
        pieces.push_back(fingerprint(f));
        sim.onUplink(f, link, nowMs);
    });
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        parser.feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
        if (parser.pending() >= CUplinkParser::kFrameBytes)
            std::abort();
        nowMs += stepMs;
        sim.advance(nowMs);
        checkAircraft(sim, nowMs);
    }
    if (pieces != whole || parser.bytesDropped() != reference.bytesDropped())
        std::abort();
    // Let the aircraft fly a while on what it was told.
    for (int i = 0; i < 20; ++i) {
        nowMs += 500;
        sim.advance(nowMs);
        checkAircraft(sim, nowMs);
    }
    if (sim.counters().framesReceived != whole.size())
        std::abort();
    return 0;
}
