#include "protocol/UdpSentenceStep.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protocol/SentenceDecoders.h"
#include "protocol/SentenceDispatch.h"

namespace orvex {

namespace {

struct SUdpKeyword {
    std::string_view text;
    std::size_t length;
    bool checksum; // a frame with a bad sum is consumed and ignored
    ESentence action;
};

// The UDP keyword table, in test order. Keywords are compared over their full length.
constexpr SUdpKeyword kUdpKeywords[] = {
    {"$STP", 99, true, ESentence::Telemetry},
    {"$SETD", 31, true, ESentence::WaypointEcho},
    {"$DOCAP", 6, false, ESentence::Acknowledgement},
    {"$PAR", 45, false, ESentence::Parameters},
    {"$MG2", 13, false, ESentence::CompassPoint},
    {"$MG3", 13, false, ESentence::CompassPoint},
    {"$MG1", 25, false, ESentence::CompassCalibration},
    {"$PUR", 37, false, ESentence::CustomParameters},
};
constexpr std::size_t kLongestUdpFrame = 99;
constexpr std::size_t kUdpHeadBytes = 6;

bool headIs(std::span<const uint8_t> data, std::string_view keyword)
{
    return data.size() >= keyword.size() && std::memcmp(data.data(), keyword.data(), keyword.size()) == 0;
}

} // namespace

CUdpSentenceStep::CUdpSentenceStep(IDownlinkSink& sink, std::size_t workArrayCapBytes)
    : m_sink(sink), m_cap(std::max<std::size_t>(workArrayCapBytes, kLongestUdpFrame))
{
}

void CUdpSentenceStep::clear()
{
    m_data.clear();
    m_head = 0;
}

void CUdpSentenceStep::dropped(EDropReason reason, std::size_t count, std::string_view keyword)
{
    m_sink.onDropped(SDrop{reason, count, keyword, EDownlinkLink::Udp});
}

void CUdpSentenceStep::append(std::span<const uint8_t> bytes)
{
    if (m_head > 0 && (m_head >= m_data.size() / 2 || m_data.size() + bytes.size() > m_cap)) {
        m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_head));
        m_head = 0;
    }
    if (bytes.size() >= m_cap) {
        // Only the newest bytes of an oversized append are kept.
        dropped(EDropReason::Overflow, m_data.size() + bytes.size() - m_cap);
        m_data.assign(bytes.end() - static_cast<std::ptrdiff_t>(m_cap), bytes.end());
        return;
    }
    if (m_data.size() + bytes.size() > m_cap) {
        const std::size_t excess = m_data.size() + bytes.size() - m_cap;
        dropped(EDropReason::Overflow, excess);
        m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(excess));
    }
    m_data.insert(m_data.end(), bytes.begin(), bytes.end());
}

void CUdpSentenceStep::consume(std::size_t count)
{
    m_head += count;
    if (m_head == m_data.size())
        clear();
}

int CUdpSentenceStep::step(bool wifiActive)
{
    if (!wifiActive) {
        if (size() > 0)
            dropped(EDropReason::WifiInactive, size());
        clear();
        return 0;
    }
    {
        const auto data = pending();
        const auto* dollar = static_cast<const uint8_t*>(std::memchr(data.data(), '$', data.size()));
        const std::size_t noise = dollar ? static_cast<std::size_t>(dollar - data.data()) : data.size();
        if (noise > 0) {
            dropped(EDropReason::NoiseBeforeHead, noise);
            consume(noise);
        }
    }
    const auto data = pending();
    if (data.empty())
        return 0;
    for (const SUdpKeyword& kw : kUdpKeywords) {
        if (data.size() < kw.length || !headIs(data, kw.text))
            continue;
        std::array<uint8_t, kLongestUdpFrame> copy{};
        std::memcpy(copy.data(), data.data(), kw.length);
        consume(kw.length);
        const std::span<const uint8_t> frame{copy.data(), kw.length};
        if (kw.checksum && bytes::sum8(copy.data(), copy.data() + kw.length - 1) != copy[kw.length - 1]) {
            dropped(EDropReason::BadChecksum, kw.length, kw.text);
            return 1;
        }
        dispatchSentence(kw.action, kw.text, frame, EDownlinkLink::Udp, m_sink);
        return 1;
    }
    if (data.size() >= kUdpHeadBytes) {
        for (const SUdpKeyword& kw : kUdpKeywords)
            if (headIs(data, kw.text))
                return 0; // a known frame that is not complete yet
        dropped(EDropReason::UnknownKeyword, 1);
        consume(1);
        return 1;
    }
    return 0;
}

std::size_t CUdpSentenceStep::run(bool wifiActive)
{
    std::size_t steps = 0;
    while (step(wifiActive) > 0)
        ++steps;
    return steps;
}

} // namespace orvex
