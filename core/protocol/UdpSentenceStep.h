#pragma once
// The WiFi receiver: datagram bytes are appended to the work array, and the UDP sentence step
// consumes them from its front, one frame or one noise byte per call. It knows eight keywords
// ("$STP" "$SETD" "$DOCAP" "$PAR" "$MG2" "$MG3" "$MG1" "$PUR"); everything else is dropped one byte
// at a time. While the WiFi link is inactive a step empties the work array.
//
// The work array is capped: when appending would pass the cap, the oldest bytes are dropped
// (reported as Overflow). The parser consumes every complete frame each time it runs, so only an
// array that is fed but never stepped reaches the cap.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/DownlinkSink.h"

namespace orvex {

class CUdpSentenceStep {
public:
    static constexpr std::size_t kDefaultWorkArrayCapBytes = 256 * 1024;

    explicit CUdpSentenceStep(IDownlinkSink& sink, std::size_t workArrayCapBytes = kDefaultWorkArrayCapBytes);

    // Appends one datagram's bytes to the work array.
    void append(std::span<const uint8_t> bytes);
    // One step: 1 when bytes were consumed (a frame or one noise byte), 0 when more data is needed
    // or the WiFi link is inactive (the array is then emptied).
    int step(bool wifiActive);
    // The data-ready handling: steps while a step returns 1; returns the number of such steps.
    std::size_t run(bool wifiActive);

    std::size_t size() const { return m_data.size() - m_head; }
    std::span<const uint8_t> pending() const { return {m_data.data() + m_head, size()}; }
    void clear();

private:
    void consume(std::size_t count);
    void dropped(EDropReason reason, std::size_t count, std::string_view keyword = {});

    IDownlinkSink& m_sink;
    std::size_t m_cap;
    std::vector<uint8_t> m_data;
    std::size_t m_head = 0; // consumed bytes at the front of m_data, compacted lazily
};

} // namespace orvex
