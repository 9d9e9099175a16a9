// The UDP sentence step on arbitrary datagrams: no crash, no hang (every step that returns 1
// consumed bytes), the work array stays within its cap, and after a run the front is either
// empty, shorter than a head, or a known head waiting for the rest of its frame.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "protocol/UdpSentenceStep.h"

using namespace orvex;

namespace {

class CCheckingSink : public IDownlinkSink {
public:
    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink link) override
    {
        if (link != EDownlinkLink::Udp || bytes::sum8(r.bytes().data(), r.bytes().data() + 98) != r.bytes()[98])
            std::abort();
    }
    void onAcknowledgement(const SAcknowledgement& ack) override
    {
        if (ack.kind != EAcknowledgement::DOCAP)
            std::abort();
    }
};

bool knownHead(std::span<const uint8_t> front)
{
    for (std::string_view k : {"$STP", "$SETD", "$DOCAP", "$PAR", "$MG2", "$MG3", "$MG1", "$PUR"})
        if (front.size() >= k.size() && std::memcmp(front.data(), k.data(), k.size()) == 0)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the datagram length (1-64) and whether WiFi starts active.
    const std::size_t chunk = (data[0] & 63) + 1;
    bool wifi = (data[0] & 64) == 0;
    constexpr std::size_t kCap = 512;
    CCheckingSink sink;
    CUdpSentenceStep udp(sink, kCap);
    for (std::size_t at = 1; at < size; at += chunk) {
        const std::size_t n = std::min(chunk, size - at);
        udp.append(std::span<const uint8_t>(data + at, n));
        if (udp.size() > kCap)
            std::abort();
        std::size_t steps = 0;
        for (;;) {
            const std::size_t before = udp.size();
            const int r = udp.step(wifi);
            if (r != 0 && r != 1)
                std::abort();
            if (r == 0)
                break;
            if (udp.size() >= before || ++steps > kCap + 1)
                std::abort();
        }
        const auto front = udp.pending();
        if (!wifi && !front.empty())
            std::abort();
        if (front.size() >= 6 && !knownHead(front))
            std::abort();
        if (!front.empty() && front[0] != '$')
            std::abort();
        if (data[at] == 0xFF)
            wifi = !wifi;
    }
    return 0;
}
