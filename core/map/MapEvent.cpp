#include "map/MapEvent.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvex {

namespace {

constexpr std::size_t kCodeLength = 5;
// Longer numbers than this are not meaningful map values; the copy below stays bounded.
constexpr std::size_t kMaxNumberChars = 64;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Copies the leading part of a field that may hold a number into a NUL-terminated buffer.
std::string numberText(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    text.remove_prefix(i);
    if (text.size() > kMaxNumberChars)
        text = text.substr(0, kMaxNumberChars);
    return std::string(text);
}

} // namespace

std::string mapEventCode(std::string_view text)
{
    if (text.size() < kCodeLength)
        return {};
    return std::string(text.substr(0, kCodeLength));
}

std::string_view mapEventPayload(std::string_view text)
{
    if (text.size() <= kCodeLength)
        return {};
    return text.substr(kCodeLength);
}

double parseMapDouble(std::string_view text)
{
    const std::string s = numberText(text);
    if (s.empty())
        return 0.0;
    // Only plain decimal numbers: no hexadecimal, infinities or NaN from the page.
    const char c0 = s[0];
    const std::size_t signLen = (c0 == '+' || c0 == '-') ? 1 : 0;
    if (s.size() <= signLen)
        return 0.0;
    const char c1 = s[signLen];
    if (!((c1 >= '0' && c1 <= '9') || c1 == '.'))
        return 0.0;
    if (s.size() > signLen + 1 && s[signLen] == '0' && (s[signLen + 1] == 'x' || s[signLen + 1] == 'X'))
        return 0.0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(v))
        return std::isfinite(v) ? 0.0 : std::copysign(std::numeric_limits<double>::max(), v);
    return v;
}

float parseMapFloat(std::string_view text)
{
    const double v = parseMapDouble(text);
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax)
        return std::numeric_limits<float>::max();
    if (v < -kMax)
        return -std::numeric_limits<float>::max();
    return static_cast<float>(v);
}

int parseMapInt(std::string_view text)
{
    const std::string s = numberText(text);
    if (s.empty())
        return 0;
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    long long value = 0;
    bool any = false;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        any = true;
        value = value * 10 + (s[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (!any)
        return 0;
    if (negative)
        return value >= kLimit ? std::numeric_limits<int>::min() : static_cast<int>(-value);
    return value >= kLimit ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

std::string_view CMapFieldReader::nextField()
{
    const std::size_t comma = m_rest.find(',');
    if (comma == std::string_view::npos) {
        m_rest = {};
        return {};
    }
    std::string_view field = m_rest.substr(0, comma);
    m_rest.remove_prefix(comma + 1);
    return field;
}

std::vector<std::string_view> splitMapRecords(std::string_view payload)
{
    std::vector<std::string_view> records;
    std::size_t semi;
    while ((semi = payload.find(';')) != std::string_view::npos) {
        records.push_back(payload.substr(0, semi));
        payload.remove_prefix(semi + 1);
    }
    return records;
}

std::vector<std::string> splitStoredList(std::string_view text, std::string_view separator)
{
    std::vector<std::string> entries;
    if (separator.empty())
        return entries;
    std::size_t pos;
    while ((pos = text.find(separator)) != std::string_view::npos) {
        entries.emplace_back(text.substr(0, pos));
        text.remove_prefix(pos + separator.size());
    }
    return entries;
}

} // namespace orvex
