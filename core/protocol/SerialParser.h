#pragma once
// The serial receiver: the parsing cycle that the serial link runs once for every byte it reads.
// The link reads one byte at a time, so feed() behaves exactly as one completed one-byte read
// followed by one parsing cycle; feed(span) is the same as feeding the bytes one by one.
//
// The cycle, per byte: append it; apply a pending discard count; resynchronise on '$' (bytes before
// it are dropped at once); examine the head only once 7 or more bytes are held; match the keyword
// table in order; wait for the whole frame; verify the checksum (a mismatch drops the keyword's
// "bad" count and tries again from the next '$'); run the action and remove the frame. An unknown
// head drops one byte. A six-byte acknowledgement acts when the byte after it arrives.
//
// The buffer holds 4096 bytes. Only a GPS line can wait that long (binary frames are at most 99
// bytes): when a GPS line has no LF in a full buffer, the line is abandoned - its leading '$' is
// dropped (reported as Overflow) and the cycle resynchronises on the next '$' among the held bytes,
// so whatever arrives, the buffer never overflows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/DownlinkSink.h"

namespace orvex {

class CSerialParser {
public:
    static constexpr std::size_t kBufferBytes = 4096;
    // Bytes fed while an event handler runs are held back and parsed after it returns; beyond
    // this many the newest are dropped (reported as Overflow).
    static constexpr std::size_t kHeldBackLimitBytes = 1 << 20;

    explicit CSerialParser(IDownlinkSink& sink);

    // The receive state at port open: fill and discard counts 0.
    void reset();
    // One completed one-byte read and one parsing cycle.
    void feed(uint8_t byte);
    // The bytes one at a time, each as its own read and cycle.
    void feed(std::span<const uint8_t> bytes);

    // Bytes held in the receive buffer (the fill count after the last cycle).
    std::size_t fillCount() const { return m_fill; }
    std::span<const uint8_t> held() const { return {m_buffer.data(), m_fill}; }

private:
    void readCompleted(uint8_t byte);
    void cycle();
    void applyDiscard();
    void removeFront(std::size_t count);
    bool waitForLine(int keyword);
    void runAction(int keyword);
    void dropped(EDropReason reason, std::size_t count, std::string_view keyword = {});

    IDownlinkSink& m_sink;
    std::array<uint8_t, kBufferBytes> m_buffer{};
    std::size_t m_fill = 0;
    std::size_t m_discard = 0;
    // Keyword index that the head at the front of the buffer matched (-1: not yet examined). The
    // head does not change while a frame waits, so the match is kept until the front moves.
    int m_frontKeyword = -1;
    // For a waiting GPS line: bytes before this position hold no LF.
    std::size_t m_lineScanned = 0;
    bool m_inCycle = false;
    std::vector<uint8_t> m_heldBack;
};

} // namespace orvex
