#pragma once
// $STP telemetry records (99 bytes) written field by field from the sentence layout, for tests
// that feed a link or a log: head "$STP", latitude f32 at 4, longitude f32 at 8, a tag (the
// controller serial) low byte first at 42-43, the 8-bit sum of bytes 0..97 at 98.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

using StpBytes = std::array<std::uint8_t, 99>;

// Little-endian fields: 16 and 32 bits (signed values pass as their two's complement), f32.
inline void putLeU16(std::uint8_t* p, int v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

inline void putLeU32(std::uint8_t* p, std::uint32_t u)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(u >> (8 * i));
}

inline void putLeF32(std::uint8_t* p, float v)
{
    putLeU32(p, std::bit_cast<std::uint32_t>(v));
}

// Writes the sum byte; a bad one is the good one inverted.
inline void sealStp(StpBytes& f, bool goodSum = true)
{
    std::uint8_t sum = 0;
    for (int i = 0; i < 98; ++i)
        sum = std::uint8_t(sum + f[i]);
    f[98] = goodSum ? sum : std::uint8_t(~sum);
}

inline StpBytes stpRecord(float lat, float lon, std::uint16_t tag = 0)
{
    StpBytes f{};
    std::memcpy(f.data(), "$STP", 4);
    putLeF32(&f[4], lat);
    putLeF32(&f[8], lon);
    f[42] = std::uint8_t(tag);
    f[43] = std::uint8_t(tag >> 8);
    sealStp(f);
    return f;
}
