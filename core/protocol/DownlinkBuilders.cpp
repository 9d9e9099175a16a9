#include "protocol/DownlinkBuilders.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "protocol/ByteFields.h"
#include "protocol/SentenceDecoders.h"

namespace orvex::downlink {

namespace {

Sentence withHead(const char* head, std::size_t length)
{
    Sentence s(length, 0);
    std::memcpy(s.data(), head, std::strlen(head));
    return s;
}

void sealChecksum(Sentence& s)
{
    s.back() = bytes::sum8(s.data(), s.data() + s.size() - 1);
}

} // namespace

Sentence telemetry(const CTelemetryRecord& record)
{
    CTelemetryRecord r = record;
    std::memcpy(r.bytes().data(), "$STP", 4);
    r.updateChecksum();
    return Sentence(r.bytes().begin(), r.bytes().end());
}

Sentence waypointEcho(const SWaypointEcho& echo)
{
    Sentence s = withHead("$SETD", decode::kSetdBytes);
    s[5] = echo.number;
    bytes::writeF32(&s[6], echo.latitude);
    bytes::writeF32(&s[10], echo.longitude);
    bytes::writeI32(&s[14], echo.altitude);
    bytes::writeI32(&s[18], echo.photoMode);
    s[24] = echo.circleFlag;
    bytes::writeHighFirstU16(&s[25], echo.circleTime);
    sealChecksum(s);
    return s;
}

Sentence parameterValues(std::span<const uint8_t, 40> values)
{
    Sentence s = withHead("$PAR", decode::kParBytes);
    std::copy(values.begin(), values.end(), s.begin() + 4);
    sealChecksum(s);
    return s;
}

Sentence customParameters(std::span<const uint8_t, 32> values)
{
    Sentence s = withHead("$PUR", decode::kPurBytes);
    std::copy(values.begin(), values.end(), s.begin() + 4);
    sealChecksum(s);
    return s;
}

Sentence compassPoint(ECompassPlane plane, float first, float second)
{
    Sentence s = withHead(plane == ECompassPlane::XY ? "$MG2" : "$MG3", decode::kMg23Bytes);
    bytes::writeF32(&s[4], first);
    bytes::writeF32(&s[8], second);
    s[12] = bytes::sum8(&s[4], &s[12]);
    return s;
}

Sentence compassCalibration(const std::array<float, 5>& values)
{
    Sentence s = withHead("$MG1", decode::kMg1Bytes);
    for (std::size_t i = 0; i < values.size(); ++i)
        bytes::writeF32(&s[4 + 4 * i], values[i]);
    s[24] = bytes::sum8(&s[4], &s[24]);
    return s;
}

Sentence photoReport(const SPhotoReport& r)
{
    Sentence s = withHead("$QUZA", decode::kQuzaBytes);
    bytes::writeU16(&s[5], r.pictureNumber);
    bytes::writeF32(&s[7], r.longitude);
    bytes::writeF32(&s[11], r.latitude);
    bytes::writeI32(&s[15], r.integerField);
    bytes::writeF32(&s[19], r.value19);
    bytes::writeF32(&s[23], r.value23);
    bytes::writeF32(&s[27], r.angleRadians);
    bytes::writeF32(&s[31], r.value31);
    return s;
}

Sentence acknowledgement(EAcknowledgement kind)
{
    const std::string_view k = acknowledgementKeyword(kind);
    return Sentence(k.begin(), k.end());
}

Sentence gpgga(double latitude, double longitude, uint8_t hour, uint8_t minute, uint8_t second,
               int satellites, double altitudeMetres)
{
    const auto split = [](double v, int& degrees, double& minutes) {
        v = std::fabs(v);
        degrees = static_cast<int>(v);
        minutes = (v - degrees) * 60.0;
        if (minutes >= 59.99995) { // would print as 60.0000
            ++degrees;
            minutes = 0;
        }
    };
    int latDeg = 0, lonDeg = 0;
    double latMin = 0, lonMin = 0;
    split(latitude, latDeg, latMin);
    split(longitude, lonDeg, lonMin);
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPGGA,%02u%02u%02u.00,%02d%07.4f,%c,%03d%07.4f,%c,1,%02d,0.9,%.1f,M,0.0,M,,", hour % 24u,
                  minute % 60u, second % 60u, latDeg % 100, latMin, latitude < 0 ? 'S' : 'N', lonDeg % 1000,
                  lonMin, longitude < 0 ? 'W' : 'E', satellites < 0 ? 0 : satellites % 100, altitudeMetres);
    uint8_t x = 0;
    for (const char* p = body; *p; ++p)
        x ^= static_cast<uint8_t>(*p);
    char line[160];
    std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, x);
    return Sentence(line, line + std::strlen(line));
}

} // namespace orvex::downlink
