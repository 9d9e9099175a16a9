// orvex frame KIND ARGS...
//
// Prints one uplink frame as lowercase hex bytes separated by blanks. Numbers are read as the
// ground station's dialogs read them: signed decimal integers, of which a one-byte field takes the
// low 8 bits; coordinates are decimal numbers.

#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "ToolCommand.h"
#include "protocol/Uplink.h"

using namespace orvex;

namespace {

const char* const kUsage =
    "frame KIND ARGS...  where KIND ARGS is one of: command CODE | command-data CODE B0..B7 | target N | "
    "altitude METRES | fly-to A B | gimbal-lock A B | compass-step CODE | param-request | param-write B0..B19 | "
    "param-reset | waypoint NUMBER LAT LON ALT CIRCLE_TIME CIRCLE_FLAG PHOTO_MODE | waypoint-count N | readback | "
    "heartbeat RECEIVER_ON | align";

struct SArgError {
    std::string message;
};

long long parseInteger(const std::string& text, const char* what)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    long long value = 0;
    auto r = std::from_chars(begin, end, value);
    if (begin == end || r.ec != std::errc{} || r.ptr != end || value < INT32_MIN || value > INT32_MAX)
        throw SArgError{std::string(what) + " must be a signed decimal integer, not '" + text + "'"};
    return value;
}

uint8_t parseByte(const std::string& text, const char* what)
{
    return static_cast<uint8_t>(parseInteger(text, what) & 0xFF);
}

float parseCoordinate(const std::string& text, const char* what)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    float value = 0;
    auto r = std::from_chars(begin, end, value, std::chars_format::fixed | std::chars_format::scientific);
    if (begin == end || r.ec != std::errc{} || r.ptr != end)
        throw SArgError{std::string(what) + " must be a decimal number, not '" + text + "'"};
    return value;
}

std::vector<uint8_t> buildFrame(const std::string& kind, const std::vector<std::string>& a)
{
    auto expect = [&](std::size_t n) {
        if (a.size() != n)
            throw SArgError{"'" + kind + "' takes " + std::to_string(n) + " argument" + (n == 1 ? "" : "s") + ", " +
                            std::to_string(a.size()) + " given"};
    };
    if (kind == "command") {
        expect(1);
        return uplink::commandCode(parseByte(a[0], "CODE"));
    }
    if (kind == "command-data") {
        expect(9);
        std::array<uint8_t, 8> data{};
        for (std::size_t i = 0; i < 8; ++i)
            data[i] = parseByte(a[i + 1], "data byte");
        return uplink::commandCodeWithData(parseByte(a[0], "CODE"), data);
    }
    if (kind == "target") {
        expect(1);
        return uplink::targetWaypoint(parseByte(a[0], "N"));
    }
    if (kind == "altitude") {
        expect(1);
        return uplink::altitude(static_cast<int>(parseInteger(a[0], "METRES")));
    }
    if (kind == "fly-to" || kind == "gimbal-lock") {
        expect(2);
        const float x = parseCoordinate(a[0], "A");
        const float y = parseCoordinate(a[1], "B");
        return kind == "fly-to" ? uplink::clickToFly(x, y) : uplink::gimbalLockPoint(x, y);
    }
    if (kind == "compass-step") {
        expect(1);
        return uplink::compassStep(parseByte(a[0], "CODE"));
    }
    if (kind == "param-request") {
        expect(0);
        return uplink::parameterRequest();
    }
    if (kind == "param-write") {
        expect(20);
        std::array<uint8_t, 20> values{};
        for (std::size_t i = 0; i < 20; ++i)
            values[i] = parseByte(a[i], "parameter byte");
        return uplink::parameterWrite(values);
    }
    if (kind == "param-reset") {
        expect(0);
        return uplink::defaultParameterReset();
    }
    if (kind == "waypoint") {
        expect(7);
        return uplink::waypoint(parseByte(a[0], "NUMBER"), parseCoordinate(a[1], "LAT"), parseCoordinate(a[2], "LON"),
                                static_cast<int32_t>(parseInteger(a[3], "ALT")),
                                static_cast<uint16_t>(parseInteger(a[4], "CIRCLE_TIME") & 0xFFFF),
                                parseByte(a[5], "CIRCLE_FLAG"), parseByte(a[6], "PHOTO_MODE"));
    }
    if (kind == "waypoint-count") {
        expect(1);
        return uplink::waypointCount(parseByte(a[0], "N"));
    }
    if (kind == "readback") {
        expect(0);
        return uplink::readbackRequest();
    }
    if (kind == "heartbeat") {
        expect(1);
        return uplink::heartbeat(parseByte(a[0], "RECEIVER_ON"));
    }
    if (kind == "align") {
        expect(0);
        return uplink::attitudeAlignment();
    }
    throw SArgError{"unknown frame kind '" + kind + "'"};
}

int runFrame(const std::vector<std::string>& args)
{
    if (args.empty())
        return toolUsageError("frame", "a frame kind is required");
    std::vector<uint8_t> frame;
    try {
        frame = buildFrame(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const SArgError& e) {
        return toolUsageError("frame", e.message);
    }
    std::string text;
    static const char* const kHex = "0123456789abcdef";
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i)
            text += ' ';
        text += kHex[frame[i] >> 4];
        text += kHex[frame[i] & 15];
    }
    std::cout << text << '\n';
    return std::cout ? 0 : 1;
}

CToolCommandRegistration reg{"frame", kUsage, "print one uplink frame as hex bytes (see docs/protocol-tool.md)", &runFrame};

} // namespace
