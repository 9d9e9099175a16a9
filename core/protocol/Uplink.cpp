#include "protocol/Uplink.h"

#include <cstring>

#include "protocol/ByteFields.h"

namespace orvex {

namespace uplink {

namespace {

Frame wifiFrame()
{
    Frame f(kUplinkFrameBytes, 0);
    std::memcpy(f.data(), "$WIFI", 5);
    return f;
}

Frame pointFrame(uint8_t letter, float a, float b)
{
    Frame f = wifiFrame();
    f[5] = letter;
    bytes::writeF32(&f[6], a);
    bytes::writeF32(&f[10], b);
    bytes::writeF32(&f[14], a);
    bytes::writeF32(&f[18], b);
    f[22] = letter;
    return f;
}

} // namespace

Frame commandCode(uint8_t code)
{
    Frame f = wifiFrame();
    f[5] = f[6] = f[7] = code;
    return f;
}

Frame commandCodeWithData(uint8_t code, std::span<const uint8_t, 8> data)
{
    Frame f = commandCode(code);
    std::memcpy(&f[8], data.data(), 8);
    std::memcpy(&f[16], data.data(), 8);
    return f;
}

Frame targetWaypoint(uint8_t number)
{
    Frame f = wifiFrame();
    f[5] = f[6] = 'g';
    f[7] = f[8] = number;
    return f;
}

Frame altitude(int metres)
{
    Frame f = wifiFrame();
    f[5] = f[6] = 'j';
    const auto tenths = static_cast<uint16_t>(static_cast<unsigned>(metres) * 10u);
    bytes::writeU16(&f[7], tenths);
    bytes::writeU16(&f[9], tenths);
    bytes::writeU16(&f[11], tenths);
    return f;
}

Frame clickToFly(float a, float b)
{
    return pointFrame('Q', a, b);
}

Frame gimbalLockPoint(float a, float b)
{
    return pointFrame('\\', a, b);
}

Frame compassStep(uint8_t code)
{
    Frame f = wifiFrame();
    f[5] = f[6] = 'i';
    for (std::size_t at : {7u, 9u, 11u}) {
        f[at] = 9;
        f[at + 1] = code;
    }
    return f;
}

Frame parameterRequest()
{
    Frame f = wifiFrame();
    f[5] = f[6] = f[7] = 'h';
    return f;
}

Frame parameterWrite(std::span<const uint8_t, 20> values)
{
    Frame f = wifiFrame();
    f[5] = f[6] = 's';
    std::memcpy(&f[7], values.data(), 20);
    f[27] = bytes::sum8(&f[7], &f[14]);
    f[28] = bytes::sum8(&f[14], &f[21]);
    f[29] = bytes::sum8(&f[21], &f[27]);
    return f;
}

Frame defaultParameterReset()
{
    Frame f(kUplinkFrameBytes, 0);
    std::memcpy(f.data(), "$HFMR", 5);
    return f;
}

Frame waypoint(uint8_t number, float latitude, float longitude, int32_t altitudeMetres, uint16_t circleTime,
               uint8_t circleFlag, uint8_t photoMode)
{
    Frame f = wifiFrame();
    f[5] = 'S';
    f[6] = number;
    bytes::writeF32(&f[7], latitude);
    bytes::writeF32(&f[11], longitude);
    bytes::writeI32(&f[15], altitudeMetres);
    bytes::writeHighFirstU16(&f[19], circleTime);
    f[21] = circleFlag;
    f[22] = photoMode;
    f[23] = bytes::sum8(&f[5], &f[23]);
    return f;
}

Frame waypointCount(uint8_t count)
{
    Frame f = wifiFrame();
    f[5] = 'T';
    f[6] = f[7] = f[8] = count;
    f[9] = 'T';
    return f;
}

Frame readbackRequest()
{
    Frame f = wifiFrame();
    f[5] = f[6] = f[7] = 'R';
    return f;
}

Frame heartbeatFrame(const std::array<uint16_t, 4>& values, uint8_t extra1, uint8_t extra2)
{
    Frame f(kUplinkFrameBytes, 0);
    std::memcpy(f.data(), "$IWFI", 5);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes::writeHighFirstU16(&f[5 + 2 * i], values[i]);
        bytes::writeHighFirstU16(&f[13 + 2 * i], values[i]);
    }
    f[21] = extra1;
    f[22] = extra2;
    f[28] = bytes::sum8(&f[5], &f[28]);
    f[29] = '*';
    return f;
}

Frame heartbeat(uint8_t receiverOn)
{
    if (receiverOn != 1)
        return Frame(kUplinkFrameBytes, 0);
    return heartbeatFrame({1500, 1500, 1500, 1550}, 0, 0);
}

Frame attitudeAlignment()
{
    return Frame{'$', 'S', 'A', 'H', 'R', 'S'};
}

} // namespace uplink

void CUplinkRouter::sendOnBothLinks(std::span<const uint8_t> frame)
{
    if (m_serialOpen)
        m_serial.send(frame);
    if (m_wifiActive)
        m_wifi.send(frame);
}

void CUplinkRouter::sendOnSerial(std::span<const uint8_t> bytes)
{
    if (m_serialOpen)
        m_serial.send(bytes);
}

} // namespace orvex
