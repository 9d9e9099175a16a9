#include "protocol/SerialParser.h"

#include <algorithm>
#include <cstring>

#include "protocol/SentenceDecoders.h"
#include "protocol/SentenceDispatch.h"

namespace orvex {

namespace {

struct SKeyword {
    std::string_view text;    // the keyword with its '$'
    std::size_t compare;      // bytes compared
    std::size_t length;       // frame length; 0 = up to the LF
    bool checksum;            // checksum in the frame's last byte
    std::size_t badDiscard;   // bytes dropped on a checksum mismatch
    ESentence action;
};

using A = ESentence;

// The serial keyword table, in test order.
constexpr SKeyword kKeywords[] = {
    {"$GPGGA", 6, 0, false, 0, A::NmeaLine},
    {"$GPRMC", 6, 0, false, 0, A::NmeaLine},
    {"$PAI", 4, 15, true, 4, A::WaypointIndexEcho},
    {"$PAED", 5, 16, true, 4, A::PhotoMark},
    {"$PASUM", 6, 10, false, 0, A::RouteSummary},
    {"$STP", 4, 99, true, 4, A::Telemetry},
    {"$PAR", 4, 45, true, 4, A::Parameters},
    {"$MG2", 4, 13, false, 0, A::CompassPoint},
    {"$MG3", 4, 13, false, 0, A::CompassPoint},
    {"$PUR", 4, 37, false, 0, A::CustomParameters},
    {"$P2T", 4, 83, true, 4, A::ParameterSnapshot},
    {"$POR", 4, 45, true, 4, A::Opaque},
    {"$SETD", 5, 31, true, 5, A::WaypointEcho},
    {"$DJSJ", 5, 24, true, 5, A::ServoChannels},
    {"$DOYMM", 6, 6, false, 0, A::Acknowledgement},
    {"$DOYMA", 6, 6, false, 0, A::Acknowledgement},
    {"$DOYMS", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCAP", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCUT", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCNC", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCAG", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCKA", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCS1", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCS2", 6, 6, false, 0, A::Acknowledgement},
    {"$DOCS3", 6, 6, false, 0, A::Acknowledgement},
    {"$T2POK", 6, 6, false, 0, A::Acknowledgement},
    {"$SATEL", 6, 6, false, 0, A::Acknowledgement},
    {"$STSAT", 6, 6, false, 0, A::Acknowledgement},
    {"$DIN", 4, 14, true, 4, A::Opaque},
    {"$QUZA", 5, 35, false, 0, A::PhotoReport},
};
constexpr int kKeywordCount = static_cast<int>(std::size(kKeywords));
constexpr std::size_t kExamineFromBytes = 7;
constexpr std::size_t kAcknowledgementBytes = 6;

int matchKeyword(const uint8_t* head)
{
    for (int i = 0; i < kKeywordCount; ++i)
        if (std::memcmp(head, kKeywords[i].text.data(), kKeywords[i].compare) == 0)
            return i;
    return -1;
}

} // namespace

CSerialParser::CSerialParser(IDownlinkSink& sink) : m_sink(sink) {}

void CSerialParser::reset()
{
    m_fill = 0;
    m_discard = 0;
    m_frontKeyword = -1;
    m_lineScanned = 0;
    m_heldBack.clear();
}

void CSerialParser::feed(uint8_t byte)
{
    if (m_inCycle) {
        // Called from inside an event handler: the byte waits until the handler returns.
        if (m_heldBack.size() < kHeldBackLimitBytes)
            m_heldBack.push_back(byte);
        else
            dropped(EDropReason::Overflow, 1);
        return;
    }
    readCompleted(byte);
    while (!m_heldBack.empty()) {
        std::vector<uint8_t> batch;
        batch.swap(m_heldBack);
        for (uint8_t b : batch)
            readCompleted(b);
    }
}

void CSerialParser::feed(std::span<const uint8_t> bytes)
{
    if (m_inCycle) {
        for (uint8_t b : bytes)
            feed(b);
        return;
    }
    std::size_t i = 0;
    while (i < bytes.size()) {
        // While a frame waits for its remaining bytes, a cycle that does not complete it only
        // appends its byte; such bytes are appended in one go and the completing byte gets its
        // cycle as usual.
        if (m_frontKeyword >= 0 && m_discard == 0) {
            const SKeyword& kw = kKeywords[m_frontKeyword];
            std::size_t n = 0;
            if (kw.length > 0) {
                if (m_fill + 1 < kw.length)
                    n = std::min(kw.length - 1 - m_fill, bytes.size() - i);
            } else if (m_fill + 1 < kBufferBytes) {
                const std::size_t limit = std::min(kBufferBytes - 1 - m_fill, bytes.size() - i);
                const void* lf = std::memchr(bytes.data() + i, '\n', limit);
                n = lf ? static_cast<std::size_t>(static_cast<const uint8_t*>(lf) - (bytes.data() + i)) : limit;
            }
            if (n > 0) {
                std::memcpy(m_buffer.data() + m_fill, bytes.data() + i, n);
                m_fill += n;
                if (kw.length == 0)
                    m_lineScanned = m_fill;
                i += n;
                continue;
            }
        }
        feed(bytes[i++]);
    }
}

void CSerialParser::readCompleted(uint8_t byte)
{
    // A cycle always ends with fewer than kBufferBytes held (see cycle()), so the byte fits.
    m_buffer[m_fill++] = byte;
    m_inCycle = true;
    cycle();
    m_inCycle = false;
}

void CSerialParser::applyDiscard()
{
    if (m_discard == 0)
        return;
    if (m_discard < m_fill) {
        removeFront(m_discard);
    } else {
        m_fill = 0;
        m_frontKeyword = -1;
        m_lineScanned = 0;
    }
    m_discard = 0;
}

void CSerialParser::removeFront(std::size_t count)
{
    std::memmove(m_buffer.data(), m_buffer.data() + count, m_fill - count);
    m_fill -= count;
    m_frontKeyword = -1;
    m_lineScanned = 0;
}

void CSerialParser::dropped(EDropReason reason, std::size_t count, std::string_view keyword)
{
    m_sink.onDropped(SDrop{reason, count, keyword, EDownlinkLink::Serial});
}

void CSerialParser::cycle()
{
    for (;;) {
        applyDiscard();
        if (m_fill == 0)
            break;
        if (m_buffer[0] != '$') {
            const void* found = std::memchr(m_buffer.data() + 1, '$', m_fill - 1);
            if (!found) {
                dropped(EDropReason::NoiseBeforeHead, m_fill);
                m_fill = 0;
                m_frontKeyword = -1;
                m_lineScanned = 0;
                break;
            }
            const auto at = static_cast<std::size_t>(static_cast<const uint8_t*>(found) - m_buffer.data());
            dropped(EDropReason::NoiseBeforeHead, at);
            removeFront(at);
        }
        if (m_fill < kExamineFromBytes)
            break;
        if (m_frontKeyword < 0)
            m_frontKeyword = matchKeyword(m_buffer.data());
        if (m_frontKeyword < 0) {
            dropped(EDropReason::UnknownKeyword, 1);
            m_discard = 1;
            continue;
        }
        const SKeyword& kw = kKeywords[m_frontKeyword];
        if (kw.action == A::NmeaLine) {
            if (waitForLine(m_frontKeyword))
                break;
            continue; // the line was abandoned; resynchronise
        }
        if (m_fill < kw.length)
            break;
        if (kw.checksum && bytes::sum8(m_buffer.data(), m_buffer.data() + kw.length - 1) != m_buffer[kw.length - 1]) {
            dropped(EDropReason::BadChecksum, kw.badDiscard, kw.text);
            m_discard = kw.badDiscard;
            continue;
        }
        const int keyword = m_frontKeyword;
        runAction(keyword);
        if (kw.action == A::Acknowledgement)
            m_discard = kAcknowledgementBytes; // removed when the next read is issued
        else
            removeFront(kw.length);
        break;
    }
    // Issuing the next read applies a pending discard count first.
    applyDiscard();
}

// Returns true when the cycle should finish (line consumed or still waiting), false when the line
// was abandoned and the cycle should resynchronise.
bool CSerialParser::waitForLine(int keyword)
{
    const void* lf = std::memchr(m_buffer.data() + m_lineScanned, '\n', m_fill - m_lineScanned);
    if (!lf) {
        m_lineScanned = m_fill;
        if (m_fill < kBufferBytes)
            return true;
        // A full buffer without LF: give the line up, keep the bytes after its '$'.
        dropped(EDropReason::Overflow, 1, kKeywords[keyword].text);
        m_discard = 1;
        return false;
    }
    const auto length = static_cast<std::size_t>(static_cast<const uint8_t*>(lf) - m_buffer.data()) + 1;
    dispatchSentence(A::NmeaLine, kKeywords[keyword].text, {m_buffer.data(), length}, EDownlinkLink::Serial, m_sink);
    removeFront(length);
    return true;
}

void CSerialParser::runAction(int keyword)
{
    const SKeyword& kw = kKeywords[keyword];
    dispatchSentence(kw.action, kw.text, {m_buffer.data(), kw.length}, EDownlinkLink::Serial, m_sink);
}

} // namespace orvex
