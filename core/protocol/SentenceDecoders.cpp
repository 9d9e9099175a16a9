#include "protocol/SentenceDecoders.h"

#include <charconv>
#include <cstring>

namespace orvex::decode {

namespace {

using namespace orvex::bytes;

bool isSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The integer that a fixed text column reads as (leading blanks, a sign, then digits; anything
// else ends the number, no digits give 0).
int columnInt(std::span<const uint8_t> line, std::size_t at, std::size_t width)
{
    std::size_t i = at;
    const std::size_t end = at + width;
    while (i < end && isSpace(line[i]))
        ++i;
    bool negative = false;
    if (i < end && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    int value = 0;
    while (i < end && line[i] >= '0' && line[i] <= '9')
        value = value * 10 + (line[i++] - '0');
    return negative ? -value : value;
}

// The decimal number that a fixed text column reads as (as the C library reads decimal text,
// independent of the locale); 0 when it holds none.
double columnDouble(std::span<const uint8_t> line, std::size_t at, std::size_t width)
{
    char text[16] = {};
    std::size_t n = 0;
    std::size_t i = at;
    const std::size_t end = at + width;
    while (i < end && isSpace(line[i]))
        ++i;
    bool negative = false;
    if (i < end && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    if (i < end && (line[i] == '+' || line[i] == '-'))
        return 0; // a second sign is no number
    while (i < end && n < sizeof text - 1)
        text[n++] = static_cast<char>(line[i++]);
    double value = 0;
    auto result = std::from_chars(text, text + n, value, std::chars_format::general);
    if (result.ec != std::errc{})
        return 0;
    return negative ? -value : value;
}

constexpr double kOneSixtieth = static_cast<double>(1.0f / 60.0f);

double coordinate(std::span<const uint8_t> line, std::size_t degAt, std::size_t degWidth, std::size_t minAt)
{
    return columnInt(line, degAt, degWidth) + columnDouble(line, minAt, 7) * kOneSixtieth;
}

} // namespace

SNmeaLine nmeaLine(std::span<const uint8_t> line)
{
    SNmeaLine out;
    const bool gga = line.size() >= 6 && std::memcmp(line.data(), "$GPGGA", 6) == 0;
    out.keyword = gga ? "$GPGGA" : "$GPRMC";
    out.length = line.size();
    struct SLimits {
        std::size_t consumeOnly, time, latitude, longitude;
        std::size_t latDeg, latMin, lonDeg, lonMin;
    };
    const SLimits lim = gga ? SLimits{17, 27, 40, 42, 17, 19, 29, 32} : SLimits{17, 29, 42, 44, 19, 21, 31, 34};
    const std::size_t length = line.size();
    if (length <= lim.consumeOnly)
        return out;
    const int hh = columnInt(line, 7, 2);
    const int hour = ((hh + 16) % 24 + 24) % 24;
    const uint8_t minute = static_cast<uint8_t>(columnInt(line, 9, 2));
    const uint8_t second = static_cast<uint8_t>(columnInt(line, 11, 2));
    out.record.setTime(static_cast<uint8_t>(hour), minute, second);
    out.timeDecoded = true;
    if (length <= lim.time)
        return out;
    out.record.setLatitude(static_cast<float>(coordinate(line, lim.latDeg, 2, lim.latMin)));
    out.latitudeDecoded = true;
    if (length <= lim.latitude)
        return out;
    out.record.setLongitude(static_cast<float>(coordinate(line, lim.lonDeg, 3, lim.lonMin)));
    out.longitudeDecoded = true;
    if (length <= lim.longitude)
        return out;
    out.dispatched = true;
    return out;
}

std::optional<SParameterValues> parameterValues(std::span<const uint8_t> f)
{
    if (f.size() < kParBytes)
        return std::nullopt;
    SParameterValues out;
    std::memcpy(out.values.data(), f.data() + 4, out.values.size());
    return out;
}

std::optional<SCompassPoint> compassPoint(std::span<const uint8_t> f)
{
    if (f.size() < kMg23Bytes)
        return std::nullopt;
    SCompassPoint out;
    out.plane = f[3] == '3' ? ECompassPlane::ZY : ECompassPlane::XY;
    out.first = readF32(&f[4]);
    out.second = readF32(&f[8]);
    out.sumOk = sum8(&f[4], &f[12]) == f[12];
    return out;
}

std::optional<SCompassCalibration> compassCalibration(std::span<const uint8_t> f)
{
    if (f.size() < kMg1Bytes)
        return std::nullopt;
    SCompassCalibration out;
    for (std::size_t i = 0; i < out.values.size(); ++i)
        out.values[i] = readF32(&f[4 + 4 * i]);
    out.sumOk = sum8(&f[4], &f[24]) == f[24];
    return out;
}

std::optional<SCustomParameters> customParameters(std::span<const uint8_t> f)
{
    if (f.size() < kPurBytes)
        return std::nullopt;
    SCustomParameters out;
    for (std::size_t i = 0; i < out.raw.size(); ++i) {
        out.raw[i] = f[4 + i];
        out.values[i] = customParameterValue(f[4 + i]);
    }
    return out;
}

std::optional<SWaypointEcho> waypointEcho(std::span<const uint8_t> f)
{
    if (f.size() < kSetdBytes)
        return std::nullopt;
    SWaypointEcho out;
    out.number = f[5];
    out.latitude = readF32(&f[6]);
    out.longitude = readF32(&f[10]);
    out.altitude = readI32(&f[14]);
    out.photoMode = readI32(&f[18]);
    out.circleFlag = f[24];
    out.circleTime = static_cast<uint16_t>((f[25] << 8) | f[26]);
    return out;
}

std::optional<SParameterSnapshot> parameterSnapshot(std::span<const uint8_t> f)
{
    if (f.size() < kP2tBytes)
        return std::nullopt;
    SParameterSnapshot out;
    std::memcpy(out.values.data(), f.data() + 4, out.values.size());
    return out;
}

std::optional<SPhotoReport> photoReport(std::span<const uint8_t> f)
{
    if (f.size() < kQuzaBytes)
        return std::nullopt;
    SPhotoReport out;
    out.pictureNumber = readU16(&f[5]);
    out.longitude = readF32(&f[7]);
    out.latitude = readF32(&f[11]);
    out.integerField = readI32(&f[15]);
    out.value19 = readF32(&f[19]);
    out.value23 = readF32(&f[23]);
    out.angleRadians = readF32(&f[27]);
    out.value31 = readF32(&f[31]);
    return out;
}

std::optional<SPhotoMark> photoMark(std::span<const uint8_t> f)
{
    if (f.size() < kPaedBytes)
        return std::nullopt;
    return SPhotoMark{readF32(&f[7]), readF32(&f[11])};
}

std::optional<SWaypointIndexEcho> waypointIndexEcho(std::span<const uint8_t> f)
{
    if (f.size() < kPaiBytes)
        return std::nullopt;
    return SWaypointIndexEcho{readU16(&f[4]), readF32(&f[6]), readF32(&f[10])};
}

std::optional<SRouteSummary> routeSummary(std::span<const uint8_t> f)
{
    if (f.size() < kPasumBytes)
        return std::nullopt;
    return SRouteSummary{readU16(&f[6]), readU16(&f[8])};
}

std::optional<SServoChannels> servoChannels(std::span<const uint8_t> f)
{
    if (f.size() < kDjsjBytes)
        return std::nullopt;
    SServoChannels out;
    for (std::size_t i = 0; i < 9; ++i) {
        out.position[i] = f[5 + 2 * i];
        out.reverse[i] = f[6 + 2 * i];
    }
    return out;
}

} // namespace orvex::decode
