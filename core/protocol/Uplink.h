#pragma once
// Uplink sentences: one builder per frame the ground station sends, and the routing of a frame to
// the open links. Most frames are 30 bytes, zero-filled where no value is given, head "$WIFI"; they
// go to both links. "$SAHRS" is a serial-only bare keyword.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvex {

inline constexpr std::size_t kUplinkFrameBytes = 30;

// Command codes of the command-code frame.
enum ECommandCode : uint8_t {
    kCommandExitClickToFly = 85,   // "退出所点所到/锁定"
    kCommandHomePosition = 86,     // "回家位置"
    kCommandReturnHome = 87,       // "返航回家"
    kCommandAutoTakeoff = 88,      // "自动起飞"
    kCommandReceiverOn = 89,       // "开接收机"
    kCommandReceiverOff = 90,      // "关接收机"
    kCommandGyroZero = 100,        // "陀螺清零(&Z)"
    kCommandCaptureNeutral = 102,  // "捕获中位(&N)"
    kCommandCalibrateChannels = 117, // "校准通道(&C)"
    kCommandEnterSetup = 120,      // "进入设置"
    kCommandExitSetup = 121,       // "退出设置"
    kCommandOpenRoute = 122,       // "打开航线"
    kCommandCloseRoute = 123,      // "关闭航线"
    kCommandEngineOff = 124,       // "关闭引擎"
    kCommandArm = 137,             // "打开保险"
    kCommandCustomColumn1 = 138,   // custom parameters "发送", columns 1-4: 138..141
    kCommandCustomColumn2 = 139,
    kCommandCustomColumn3 = 140,
    kCommandCustomColumn4 = 141,
    kCommandCustomRequest = 142,   // custom parameters "获取"
    kCommandLevelCalibration = 144, // "小斯校准"
    kCommandCaptureRoll = 145,     // "采集横滚"
    kCommandCapturePitch = 146,    // "采集俯仰"
};

// Compass dialog steps of the compass-step frame.
enum ECompassStep : uint8_t {
    kCompassHorizontal = 87, // "水平校准"
    kCompassVertical = 88,   // "垂直校准"
    kCompassSave = 89,       // "保存显示"
};

namespace uplink {

using Frame = std::vector<uint8_t>;

// "$WIFI" + code x3.
Frame commandCode(uint8_t code);
// "$WIFI" + code x3 + eight data bytes twice.
Frame commandCodeWithData(uint8_t code, std::span<const uint8_t, 8> data);
// "$WIFIgg" + target waypoint number at 7 and 8.
Frame targetWaypoint(uint8_t number);
// "$WIFIjj" + metres x 10 as u16, three times.
Frame altitude(int metres);
// "$WIFIQ" click-to-fly: A, B, A, B as f32, "Q" at 22.
Frame clickToFly(float a, float b);
// "$WIFI\" gimbal lock point: as click-to-fly with '\'.
Frame gimbalLockPoint(float a, float b);
// "$WIFIii" + (9, code) three times.
Frame compassStep(uint8_t code);
// "$WIFIhhh".
Frame parameterRequest();
// "$WIFIss" + 20 parameter bytes at 7-26, sums of 7-13, 14-20, 21-26 at 27, 28, 29.
Frame parameterWrite(std::span<const uint8_t, 20> values);
// "$HFMR" + 25 zero bytes.
Frame defaultParameterReset();
// "$WIFIS" waypoint, sum of bytes 5-22 at 23.
Frame waypoint(uint8_t number, float latitude, float longitude, int32_t altitudeMetres, uint16_t circleTime,
               uint8_t circleFlag, uint8_t photoMode);
// "$WIFIT" + count x3 + "T".
Frame waypointCount(uint8_t count);
// "$WIFIRRR".
Frame readbackRequest();
// "$IWFI" + four u16 high byte first, the same four again, two bytes, sum of 5-27 at 28, "*" at 29.
Frame heartbeatFrame(const std::array<uint16_t, 4>& values, uint8_t extra1, uint8_t extra2);
// The once-a-second heartbeat: with receiverOn == 1 "$IWFI" with 1500 1500 1500 1550 and 0 0,
// otherwise 30 zero bytes.
Frame heartbeat(uint8_t receiverOn);
// "$SAHRS", six bytes, serial link only (sent five times after a yes to the alignment question).
Frame attitudeAlignment();

inline constexpr int kAttitudeAlignmentRepeats = 5;

} // namespace uplink

// Where a link's bytes go (a serial port writer, a datagram socket, a test recorder).
class IByteOutput {
public:
    virtual ~IByteOutput() = default;
    virtual void send(std::span<const uint8_t> bytes) = 0;
};

// "Send on both links": the serial link when its port is open, then the WiFi link when it is
// active; either, both or neither. With no link open the frame is dropped silently.
class CUplinkRouter {
public:
    CUplinkRouter(IByteOutput& serial, IByteOutput& wifi) : m_serial(serial), m_wifi(wifi) {}

    void setSerialOpen(bool open) { m_serialOpen = open; }
    void setWifiActive(bool active) { m_wifiActive = active; }
    bool serialOpen() const { return m_serialOpen; }
    bool wifiActive() const { return m_wifiActive; }

    void sendOnBothLinks(std::span<const uint8_t> frame);
    // Serial only ("$SAHRS"); nothing when the port is closed.
    void sendOnSerial(std::span<const uint8_t> bytes);

private:
    IByteOutput& m_serial;
    IByteOutput& m_wifi;
    bool m_serialOpen = false;
    bool m_wifiActive = false;
};

} // namespace orvex
