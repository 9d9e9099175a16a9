#pragma once
// Helpers of the configuration dialog tests: waiting in the event loop, and downlink frames laid
// out by hand from their sentence layouts.

#include "support/QtWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace orvex::configtest {

using Bytes = std::vector<uint8_t>;

inline void pumpFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

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

inline void putF32(Bytes& b, std::size_t at, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
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

// "$MG2" / "$MG3": f32 at 4 and 8, sum of bytes 4-11 at 12 (off by one when goodSum is false).
inline Bytes mgFrame(const char* keyword, float a, float b, bool goodSum = true)
{
    Bytes f = frameOf(keyword, 13);
    putF32(f, 4, a);
    putF32(f, 8, b);
    f[12] = static_cast<uint8_t>(sumOf(f, 4, 12) + (goodSum ? 0 : 1));
    return f;
}

// "$MG1": five f32 at 4, 8, 12, 16, 20, sum of bytes 4-23 at 24.
inline Bytes mg1Frame(std::array<float, 5> c)
{
    Bytes f = frameOf("$MG1", 25);
    for (std::size_t i = 0; i < 5; ++i)
        putF32(f, 4 + 4 * i, c[i]);
    f[24] = sumOf(f, 4, 24);
    return f;
}

} // namespace orvex::configtest
