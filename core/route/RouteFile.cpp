#include "route/RouteFile.h"

#include "base/Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

#include "base/IniFile.h"

namespace orvex {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads numbers the way the C library's "%lf" and "%d" conversions do, but always with a point
// as decimal separator and without undefined behaviour on overlong numbers.
class CNumberScanner {
public:
    explicit CNumberScanner(std::string_view text) : m_text(text) {}

    bool readReal(double& out)
    {
        skipSpace();
        const size_t start = m_pos;
        size_t p = m_pos;
        if (p < m_text.size() && (m_text[p] == '+' || m_text[p] == '-'))
            ++p;
        size_t digits = 0;
        while (p < m_text.size() && isDigit(m_text[p])) {
            ++p;
            ++digits;
        }
        if (p < m_text.size() && m_text[p] == '.') {
            ++p;
            while (p < m_text.size() && isDigit(m_text[p])) {
                ++p;
                ++digits;
            }
        }
        if (digits == 0)
            return false;
        if (p < m_text.size() && (m_text[p] == 'e' || m_text[p] == 'E')) {
            size_t q = p + 1;
            if (q < m_text.size() && (m_text[q] == '+' || m_text[q] == '-'))
                ++q;
            if (q < m_text.size() && isDigit(m_text[q])) {
                while (q < m_text.size() && isDigit(m_text[q]))
                    ++q;
                p = q;
            }
        }
        const std::string token(m_text.substr(start, p - start));
        static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
        char* end = nullptr;
        const double value = cLocale ? strtod_l(token.c_str(), &end, cLocale) : std::strtod(token.c_str(), &end);
        if (end == token.c_str() || !std::isfinite(value))
            return false;
        out = value;
        m_pos = p;
        return true;
    }

    // "%d": sign and decimal digits; a value beyond 32 bits keeps its low 32 bits.
    bool readInt(int32_t& out)
    {
        skipSpace();
        size_t p = m_pos;
        bool negative = false;
        if (p < m_text.size() && (m_text[p] == '+' || m_text[p] == '-')) {
            negative = m_text[p] == '-';
            ++p;
        }
        const size_t firstDigit = p;
        uint32_t value = 0;
        while (p < m_text.size() && isDigit(m_text[p]))
            value = value * 10u + static_cast<uint32_t>(m_text[p++] - '0');
        if (p == firstDigit)
            return false;
        if (negative)
            value = 0u - value;
        out = static_cast<int32_t>(value);
        m_pos = p;
        return true;
    }

private:
    void skipSpace()
    {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

std::string fixed6(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc())
        return "0.000000";
    return std::string(buffer, result.ptr);
}

} // namespace

std::string routeFormatTagOf(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return std::string(name.substr(dot + 1));
}

size_t parseRouteText(std::string_view text, CSkyWay& route, const CWayPointDefaults& defaults)
{
    const bool sevenNumbers = route.formatTag() == "skw";
    CNumberScanner scan(text);
    size_t added = 0;
    for (;;) {
        CWayPoint w = CWayPoint::makeNew(defaults);
        int32_t altitude, photoMode, circleFlag, circleTime, pointTag = 0;
        if (!scan.readReal(w.longitude) || !scan.readReal(w.latitude) || !scan.readInt(altitude) ||
            !scan.readInt(photoMode) || !scan.readInt(circleFlag) || !scan.readInt(circleTime))
            break;
        if (sevenNumbers && !scan.readInt(pointTag))
            break;
        w.altitude = altitude;
        w.photoMode = photoMode;
        w.circleFlag = static_cast<uint8_t>(circleFlag);
        w.circleTime = static_cast<uint16_t>(circleTime);
        w.pointTag = pointTag;
        w.label = route.formatTag();
        route.append(w);
        ++added;
    }
    return added;
}

bool readRouteFile(const std::string& path, CSkyWay& route, const CWayPointDefaults& defaults)
{
    std::string text;
    if (!readWholeFile(path, kMaxRouteFileBytes, text))
        return false;
    parseRouteText(text, route, defaults);
    return true;
}

std::string routeFileLine(const CWayPoint& w)
{
    std::string line = fixed6(w.longitude);
    line += ' ';
    line += fixed6(w.latitude);
    for (long long v : {static_cast<long long>(w.altitude), static_cast<long long>(w.photoMode),
                        static_cast<long long>(w.circleFlag), static_cast<long long>(w.circleTime),
                        static_cast<long long>(w.pointTag)}) {
        line += ' ';
        line += std::to_string(v);
    }
    return line;
}

std::string routeFileText(const CSkyWay& route)
{
    std::string out;
    for (const CWayPoint& w : route) {
        out += routeFileLine(w);
        out += "\r\n";
    }
    return out;
}

bool writeRouteFile(const std::string& path, const CSkyWay& route)
{
    const std::string text = routeFileText(route);
    if (writeFileAtomically(path, text))
        return true;
    // A directory that admits no new file may still let us rewrite the file itself.
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

bool loadRouteInto(const std::string& path, CSkyWay& current, const CWayPointDefaults& defaults)
{
    CSkyWay fresh(routeFormatTagOf(path));
    if (!readRouteFile(path, fresh, defaults))
        return false;
    current.assignPoints(fresh);
    return true;
}

} // namespace orvex
