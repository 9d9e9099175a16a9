#pragma once
// Downlink frames of the configuration dialogs laid out by hand from their sentence layouts, for
// the core and the dialog tests alike.

#include "support/StpRecord.h"

#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

namespace orvex::configtest {

using Bytes = std::vector<uint8_t>;

// `length` zero bytes beginning with the ASCII head.
inline Bytes frameOf(const char* head, std::size_t length = 30)
{
    Bytes f(length, 0);
    std::memcpy(f.data(), head, std::strlen(head));
    return f;
}

inline uint8_t sumOf(const Bytes& b, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i < to; ++i)
        s += b[i];
    return static_cast<uint8_t>(s);
}

// "$PAR": 45 bytes with the given frame bytes set, checksum of bytes 0-43 at 44.
inline Bytes parFrame(std::initializer_list<std::pair<int, int>> bytes)
{
    Bytes f = frameOf("$PAR", 45);
    for (auto [at, v] : bytes)
        f[static_cast<std::size_t>(at)] = static_cast<uint8_t>(v);
    f[44] = sumOf(f, 0, 44);
    return f;
}

// "$MG2" / "$MG3": f32 at 4 and 8, sum of bytes 4-11 at 12; "$MG1": five f32 at 4..20, sum of
// bytes 4-23 at 24. A bad sum is the good one plus one.
inline Bytes mgFrame(const char* keyword, std::initializer_list<float> values, bool goodSum = true)
{
    const std::size_t end = 4 + 4 * values.size();
    Bytes f = frameOf(keyword, end + 1);
    std::size_t at = 4;
    for (float v : values)
        putLeF32(&f[std::exchange(at, at + 4)], v);
    f[end] = static_cast<uint8_t>(sumOf(f, 4, end) + (goodSum ? 0 : 1));
    return f;
}

// "$WIFI" and a code three times.
inline Bytes commandFrame(uint8_t code)
{
    Bytes f = frameOf("$WIFI");
    f[5] = f[6] = f[7] = code;
    return f;
}

} // namespace orvex::configtest
