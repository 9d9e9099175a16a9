#pragma once
// Small helpers for the fixed binary layouts of the aircraft's sentences: little-endian reads and
// writes, the "high byte first" pairs and the 8-bit additive sums. Fields are never read by casting
// structs over buffers: sentence fields are unaligned and always little-endian on the wire.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace orvex::bytes {

inline uint16_t readU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t readI16(const uint8_t* p)
{
    return static_cast<int16_t>(readU16(p));
}
inline uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t readI32(const uint8_t* p)
{
    return static_cast<int32_t>(readU32(p));
}
inline float readF32(const uint8_t* p)
{
    return std::bit_cast<float>(readU32(p));
}
// Two's-complement 16-bit value assembled from a high byte and a low byte.
inline int16_t highLowI16(uint8_t high, uint8_t low)
{
    return static_cast<int16_t>(static_cast<uint16_t>((high << 8) | low));
}

inline void writeU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void writeI32(uint8_t* p, int32_t v)
{
    writeU32(p, static_cast<uint32_t>(v));
}
inline void writeF32(uint8_t* p, float v)
{
    writeU32(p, std::bit_cast<uint32_t>(v));
}
inline void writeHighFirstU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// 8-bit sum (modulo 256) of the bytes.
inline uint8_t sum8(std::span<const uint8_t> data)
{
    unsigned s = 0;
    for (uint8_t b : data)
        s += b;
    return static_cast<uint8_t>(s);
}
inline uint8_t sum8(const uint8_t* begin, const uint8_t* end)
{
    return sum8(std::span<const uint8_t>(begin, end));
}

} // namespace orvex::bytes
