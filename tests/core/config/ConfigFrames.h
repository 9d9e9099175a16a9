#pragma once
// Downlink frames of the configuration dialogs laid out by hand from their sentence layouts, for
// the core and the dialog tests alike.

#include "support/StpRecord.h"

#include <initializer_list>
#include <numeric>
#include <utility>
#include <vector>

namespace orvex::configtest {

using Bytes = std::vector<uint8_t>;

// "$PAR": 45 bytes with the given frame bytes set, the sum of bytes 0-43 at 44.
inline Bytes parFrame(std::initializer_list<std::pair<int, int>> bytes)
{
    Bytes f(45, 0);
    std::memcpy(f.data(), "$PAR", 4);
    for (auto [at, v] : bytes)
        f[static_cast<std::size_t>(at)] = static_cast<uint8_t>(v);
    f[44] = static_cast<uint8_t>(std::accumulate(f.begin(), f.begin() + 44, 0u));
    return f;
}

// "$MG2" / "$MG3": f32 at 4 and 8, sum of bytes 4-11 at 12; "$MG1": five f32 at 4..20, sum of
// bytes 4-23 at 24. A bad sum is the good one plus one.
inline Bytes mgFrame(const char* keyword, std::initializer_list<float> values, bool goodSum = true)
{
    const std::size_t end = 4 + 4 * values.size();
    Bytes f(end + 1, 0);
    std::memcpy(f.data(), keyword, 4);
    std::size_t at = 4;
    for (float v : values)
        putLeF32(&f[std::exchange(at, at + 4)], v);
    f[end] = static_cast<uint8_t>(std::accumulate(f.begin() + 4, f.begin() + static_cast<long>(end), goodSum ? 0u : 1u));
    return f;
}

} // namespace orvex::configtest
