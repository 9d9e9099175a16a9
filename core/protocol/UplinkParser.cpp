#include "protocol/UplinkParser.h"

#include <algorithm>
#include <cstring>

#include "protocol/ByteFields.h"

namespace orvex {

namespace {

bool hasHead(std::span<const uint8_t> f, const char* head)
{
    const std::size_t n = std::strlen(head);
    return f.size() >= n && std::memcmp(f.data(), head, n) == 0;
}

bool allZero(std::span<const uint8_t> f)
{
    return std::all_of(f.begin(), f.end(), [](uint8_t b) { return b == 0; });
}

bool sameBytes(const uint8_t* a, const uint8_t* b, std::size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

bool parseWifi(std::span<const uint8_t> f, SUplinkFrame& out)
{
    const uint8_t* p = f.data();
    const uint8_t c = p[5];
    if (c == 'S') {
        if (bytes::sum8(p + 5, p + 23) != p[23]) return false;
        out.kind = EUplinkKind::Waypoint;
        out.number = p[6];
        out.latitude = bytes::readF32(p + 7);
        out.longitude = bytes::readF32(p + 11);
        out.altitudeMetres = bytes::readI32(p + 15);
        out.circleTime = static_cast<uint16_t>((p[19] << 8) | p[20]);
        out.circleFlag = p[21];
        out.photoMode = p[22];
        return true;
    }
    if (c == 'T') {
        if (p[6] != p[7] || p[7] != p[8] || p[9] != 'T') return false;
        out.kind = EUplinkKind::WaypointCount;
        out.code = p[6];
        return true;
    }
    if (c == 'Q' || c == '\\') {
        if (p[22] != c || !sameBytes(p + 6, p + 14, 4) || !sameBytes(p + 10, p + 18, 4)) return false;
        out.kind = c == 'Q' ? EUplinkKind::ClickToFly : EUplinkKind::GimbalLockPoint;
        out.a = bytes::readF32(p + 6);
        out.b = bytes::readF32(p + 10);
        return true;
    }
    if (c == 'g' && p[6] == 'g') {
        if (p[7] != p[8]) return false;
        out.kind = EUplinkKind::TargetWaypoint;
        out.code = p[7];
        return true;
    }
    if (c == 'j' && p[6] == 'j') {
        if (!sameBytes(p + 7, p + 9, 2) || !sameBytes(p + 7, p + 11, 2)) return false;
        out.kind = EUplinkKind::Altitude;
        out.altitudeDecimetres = bytes::readU16(p + 7);
        return true;
    }
    if (c == 'i' && p[6] == 'i') {
        if (p[7] != 9 || p[9] != 9 || p[11] != 9 || p[8] != p[10] || p[8] != p[12]) return false;
        out.kind = EUplinkKind::CompassStep;
        out.code = p[8];
        return true;
    }
    if (c == 'h' && p[6] == 'h' && p[7] == 'h') {
        out.kind = EUplinkKind::ParameterRequest;
        return true;
    }
    if (c == 's' && p[6] == 's') {
        if (bytes::sum8(p + 7, p + 14) != p[27] || bytes::sum8(p + 14, p + 21) != p[28] ||
            bytes::sum8(p + 21, p + 27) != p[29])
            return false;
        out.kind = EUplinkKind::ParameterWrite;
        std::copy(p + 7, p + 27, out.values.begin());
        return true;
    }
    if (c == 'R' && p[6] == 'R' && p[7] == 'R') {
        out.kind = EUplinkKind::ReadbackRequest;
        return true;
    }
    // Command code frames: the code three times.
    if (c == 0 || p[6] != c || p[7] != c) return false;
    out.code = c;
    if (c >= 138 && c <= 141) {
        if (!sameBytes(p + 8, p + 16, 8) || !allZero(f.subspan(24))) return false;
        out.kind = EUplinkKind::CommandCodeWithData;
        std::copy(p + 8, p + 16, out.data.begin());
        return true;
    }
    if (!allZero(f.subspan(8))) return false;
    out.kind = EUplinkKind::CommandCode;
    return true;
}

} // namespace

bool parseUplinkFrame(std::span<const uint8_t> f, SUplinkFrame& out)
{
    out = SUplinkFrame{};
    if (f.size() == CUplinkParser::kAlignmentBytes) {
        if (!hasHead(f, "$SAHRS")) return false;
        out.kind = EUplinkKind::AttitudeAlignment;
        return true;
    }
    if (f.size() != CUplinkParser::kFrameBytes) return false;
    if (allZero(f)) {
        out.kind = EUplinkKind::IdleHeartbeat;
        return true;
    }
    const uint8_t* p = f.data();
    if (hasHead(f, "$HFMR")) {
        if (!allZero(f.subspan(5))) return false;
        out.kind = EUplinkKind::DefaultParameterReset;
        return true;
    }
    if (hasHead(f, "$IWFI")) {
        if (bytes::sum8(p + 5, p + 28) != p[28] || p[29] != '*' || !sameBytes(p + 5, p + 13, 8)) return false;
        out.kind = EUplinkKind::Heartbeat;
        for (int i = 0; i < 4; ++i)
            out.sticks[i] = static_cast<uint16_t>((p[5 + 2 * i] << 8) | p[6 + 2 * i]);
        out.extra1 = p[21];
        out.extra2 = p[22];
        return true;
    }
    if (hasHead(f, "$WIFI")) return parseWifi(f, out);
    return false;
}

void CUplinkParser::reset()
{
    m_buffer.clear();
    m_zeroRun = 0;
}

void CUplinkParser::feed(std::span<const uint8_t> bytes)
{
    for (uint8_t byte : bytes) {
        if (m_buffer.empty()) {
            if (byte != '$') {
                ++m_dropped;
                if (byte == 0 && ++m_zeroRun == kFrameBytes) {
                    m_zeroRun = 0;
                    m_dropped -= kFrameBytes;
                    ++m_accepted;
                    SUplinkFrame idle;
                    idle.kind = EUplinkKind::IdleHeartbeat;
                    m_handler(idle);
                } else if (byte != 0) {
                    m_zeroRun = 0;
                }
                continue;
            }
            m_zeroRun = 0;
        }
        m_buffer.push_back(byte);
        parse();
    }
}

void CUplinkParser::parse()
{
    static const char* const kLongHeads[] = {"$WIFI", "$HFMR", "$IWFI"};
    while (!m_buffer.empty()) {
        if (m_buffer[0] != '$') {
            auto next = std::find(m_buffer.begin(), m_buffer.end(), uint8_t('$'));
            m_dropped += static_cast<std::size_t>(next - m_buffer.begin());
            m_buffer.erase(m_buffer.begin(), next);
            continue;
        }
        if (m_buffer.size() < kAlignmentBytes) return;
        std::span<const uint8_t> held(m_buffer);
        SUplinkFrame frame;
        if (hasHead(held, "$SAHRS")) {
            parseUplinkFrame(held.first(kAlignmentBytes), frame);
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + kAlignmentBytes);
            ++m_accepted;
            m_handler(frame);
            continue;
        }
        const bool longHead = std::any_of(std::begin(kLongHeads), std::end(kLongHeads),
                                          [&](const char* h) { return hasHead(held, h); });
        if (longHead) {
            if (m_buffer.size() < kFrameBytes) return;
            if (parseUplinkFrame(held.first(kFrameBytes), frame)) {
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + kFrameBytes);
                ++m_accepted;
                m_handler(frame);
                continue;
            }
        }
        // Unknown head or a frame that fails its checks: drop the '$' and look for the next one.
        m_buffer.erase(m_buffer.begin());
        ++m_dropped;
    }
}

} // namespace orvex
