#pragma once
// The aircraft's side of the uplink: cuts the bytes the ground station sends (on the serial line,
// or datagram by datagram) into its sentences and checks each one. Frames are 30 bytes
// ("$WIFI...", "$HFMR", "$IWFI", or 30 zero bytes as the idle heartbeat); "$SAHRS" is six bytes.
//
// A frame is accepted only when its redundancy holds: the repeated code bytes agree, the sums of
// "$WIFIS", "$WIFIss" and "$IWFI" are right, the repeated values of "$WIFIjj", "$WIFIQ", "$WIFIT"
// and the data of the command-code-with-data frame agree. A '$' head that fails its checks drops one
// byte and the parser resynchronises on the next '$'. Bytes before a '$' are dropped, except that
// 30 zero bytes in a row are taken as the idle heartbeat.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace orvex {

enum class EUplinkKind {
    CommandCode,           // "$WIFI" + code x3
    CommandCodeWithData,   // "$WIFI" + code x3 + eight data bytes twice (codes 138-141)
    TargetWaypoint,        // "$WIFIgg"
    Altitude,              // "$WIFIjj"
    ClickToFly,            // "$WIFIQ"
    GimbalLockPoint,       // "$WIFI\"
    CompassStep,           // "$WIFIii"
    ParameterRequest,      // "$WIFIhhh"
    ParameterWrite,        // "$WIFIss"
    DefaultParameterReset, // "$HFMR"
    Waypoint,              // "$WIFIS"
    WaypointCount,         // "$WIFIT"
    ReadbackRequest,       // "$WIFIRRR"
    Heartbeat,             // "$IWFI"
    IdleHeartbeat,         // 30 zero bytes
    AttitudeAlignment,     // "$SAHRS"
};

struct SUplinkFrame {
    EUplinkKind kind = EUplinkKind::CommandCode;
    uint8_t code = 0;                 // command code, compass step code, target number, waypoint count
    std::array<uint8_t, 8> data{};    // command code with data
    std::array<uint8_t, 20> values{}; // parameter write
    int altitudeDecimetres = 0;       // "$WIFIjj": metres x 10
    float a = 0, b = 0;               // click-to-fly / gimbal lock point
    // "$WIFIS"
    uint8_t number = 0;
    float latitude = 0, longitude = 0;
    int32_t altitudeMetres = 0;
    uint16_t circleTime = 0;
    uint8_t circleFlag = 0;
    uint8_t photoMode = 0;
    // "$IWFI"
    std::array<uint16_t, 4> sticks{};
    uint8_t extra1 = 0, extra2 = 0;
};

// Checks one complete frame (30 bytes, or 6 for "$SAHRS"); false when it is none of the uplink
// frames or its redundancy does not hold.
bool parseUplinkFrame(std::span<const uint8_t> frame, SUplinkFrame& out);

class CUplinkParser {
  public:
    using Handler = std::function<void(const SUplinkFrame&)>;
    static constexpr std::size_t kFrameBytes = 30;
    static constexpr std::size_t kAlignmentBytes = 6;

    explicit CUplinkParser(Handler handler) : m_handler(std::move(handler)) {}

    void feed(std::span<const uint8_t> bytes);
    void reset();

    std::size_t framesAccepted() const { return m_accepted; }
    std::size_t bytesDropped() const { return m_dropped; }
    std::size_t pending() const { return m_buffer.size(); }

  private:
    void parse();

    Handler m_handler;
    std::vector<uint8_t> m_buffer;
    std::size_t m_zeroRun = 0;
    std::size_t m_accepted = 0;
    std::size_t m_dropped = 0;
};

} // namespace orvex
