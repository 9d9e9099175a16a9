#pragma once
// The typed events that the two receivers (the serial parsing cycle and the UDP sentence step)
// hand to the rest of the program. A consumer derives from IDownlinkSink and overrides only the
// events it needs; every method has an empty default body.
//
// Events are delivered synchronously from inside CSerialParser::feed / CUdpSentenceStep::step.
// A handler that opens a modal dialog may re-enter the event loop; bytes fed to the same serial
// parser meanwhile are held back and parsed once the handler returns (the link "waits" for the
// dialog, as the one-read-at-a-time serial transport does).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/TelemetryRecord.h"

namespace orvex {

enum class EDownlinkLink { Serial, Udp };

// "$GPGGA" / "$GPRMC" line, whatever its length. `dispatched` is true when the line was long
// enough for time, latitude and longitude; then `record` carries them (every other field zero)
// and onNmeaPosition follows.
struct SNmeaLine {
    std::string_view keyword; // "$GPGGA" or "$GPRMC"
    std::size_t length = 0;   // bytes up to and including the LF
    bool timeDecoded = false;
    bool latitudeDecoded = false;
    bool longitudeDecoded = false;
    bool dispatched = false;
    CTelemetryRecord record;
};

// The fourteen six-byte acknowledgements. `$SATEL` asks a yes/no question (onAlignmentQuestion);
// the others show an OK message box with `message`.
enum class EAcknowledgement {
    DOYMM, DOYMA, DOYMS, DOCAP, DOCUT, DOCNC, DOCAG, DOCKA, DOCS1, DOCS2, DOCS3, T2POK, SATEL, STSAT
};
struct SAcknowledgement {
    EAcknowledgement kind;
    std::string_view keyword; // "$T2POK"
    std::string_view message; // the exact text for the link it arrived on
    EDownlinkLink link;
};
// Keyword and message text of an acknowledgement on a link ("$DOCAP" differs per link).
std::string_view acknowledgementKeyword(EAcknowledgement kind);
std::string_view acknowledgementMessage(EAcknowledgement kind, EDownlinkLink link);

// "$PAR": 40 live parameter bytes (frame bytes 4-43). Frame byte 13 doubles as the compass
// calibration state: 'W' horizontal, 'X' vertical, 0 idle (saved).
struct SParameterValues {
    std::array<uint8_t, 40> values{};
    uint8_t compassCalibrationState() const { return values[9]; }
};
// Compass dialog text for a calibration state: "水平校准模式", "垂直校准模式", "保存成功"; empty
// for any other byte.
std::string_view compassCalibrationStateText(uint8_t state);

// "$MG2" (XY list) / "$MG3" (ZY list): f32 at 4 (`first`) and 8 (`second`), inner sum at 12.
// The compass dialog appends (first, second) to the XY list for $MG2 and (second, first) to the
// ZY list for $MG3, only when sumOk; the count text is refreshed either way.
enum class ECompassPlane { XY, ZY };
struct SCompassPoint {
    ECompassPlane plane;
    float first = 0;
    float second = 0;
    bool sumOk = false;
};
// "$MG1" (UDP only): five calibration values c0..c4, inner sum at 24.
struct SCompassCalibration {
    std::array<float, 5> values{};
    bool sumOk = false;
};
// "$PUR": 32 custom parameters, frame bytes 4-35 in field order (four columns of eight).
// Shown as signed: bytes above 128 minus 256, 128 itself stays 128.
struct SCustomParameters {
    std::array<uint8_t, 32> raw{};
    std::array<int, 32> values{};
};
// "$SETD": the waypoint echo handed to the route upload's echo check.
struct SWaypointEcho {
    uint8_t number = 0; // from 1
    float latitude = 0;
    float longitude = 0;
    int32_t altitude = 0; // metres
    int32_t photoMode = 0;
    uint8_t circleFlag = 0;
    uint16_t circleTime = 0; // bytes 25 (high) and 26 (low)
};
// "$P2T": the 78 parameter-set bytes (frame bytes 4-81) for "ParameterSet.txt".
struct SParameterSnapshot {
    std::array<uint8_t, 78> values{};
};
// "$QUZA": one photo report.
struct SPhotoReport {
    uint16_t pictureNumber = 0;
    float longitude = 0;
    float latitude = 0;
    int32_t integerField = 0;   // bytes 15-18
    float value19 = 0;          // bytes 19-22
    float value23 = 0;          // bytes 23-26
    float angleRadians = 0;     // bytes 27-30
    float value31 = 0;          // bytes 31-34
    float angleDegrees() const; // single-precision radians x 57.295780490442965
};
// The "PhotoData.txt" line for a report, newline included:
// "%3d %11.6f %10.6f %3d %.1f %.1f %4.1f %5.1f\n".
std::string photoDataLine(const SPhotoReport& report);
// "$PAED": the photo mark; the map is given (first, second, 0).
struct SPhotoMark {
    float first = 0;  // bytes 7-10
    float second = 0; // bytes 11-14
};
// "$PAI" (any head beginning "$PAI"): waypoint index echo, consumed without further action.
struct SWaypointIndexEcho {
    uint16_t index = 0; // bytes 4-5
    float first = 0;    // bytes 6-9
    float second = 0;   // bytes 10-13
};
// "$PASUM": two waypoint counts, consumed without further action.
struct SRouteSummary {
    uint16_t first = 0;
    uint16_t second = 0;
};
// "$DJSJ": nine servo channels (position, reverse flag), consumed without further action.
struct SServoChannels {
    std::array<uint8_t, 9> position{};
    std::array<uint8_t, 9> reverse{};
};

// Bytes that the receivers drop, for diagnostics.
enum class EDropReason {
    NoiseBeforeHead, // bytes before a '$'
    UnknownKeyword,  // one byte of a head that matches no keyword
    BadChecksum,     // the bytes dropped for a frame whose checksum failed
    Overflow,        // a receive buffer or work array reached its limit
    WifiInactive,    // UDP bytes while the WiFi link is off
};
const char* dropReasonName(EDropReason reason);
struct SDrop {
    EDropReason reason;
    std::size_t count = 0;
    std::string_view keyword; // for BadChecksum: the keyword whose frame failed
    EDownlinkLink link;
};

class IDownlinkSink {
public:
    virtual ~IDownlinkSink() = default;

    // "$STP" with a good checksum: append to the record store, compute its track angle, then run
    // the record update (isValidForUpdate, current record, panels, voice).
    virtual void onTelemetryRecord(const CTelemetryRecord& /*record*/, EDownlinkLink /*link*/) {}
    // Every GPS line consumed (diagnostics); dispatched lines then give onNmeaPosition.
    virtual void onNmeaLine(const SNmeaLine& /*line*/) {}
    // A dispatched GPS line: run the record update with this record; it is not stored.
    virtual void onNmeaPosition(const CTelemetryRecord& /*record*/) {}
    // OK-box acknowledgements (all but $SATEL).
    virtual void onAcknowledgement(const SAcknowledgement& /*ack*/) {}
    // "$SATEL": ask `message` as a yes/no question; on yes send "$SAHRS" five times on the serial link.
    virtual void onAlignmentQuestion(const SAcknowledgement& /*ack*/) {}
    virtual void onParameterValues(const SParameterValues& /*values*/, EDownlinkLink /*link*/) {}
    virtual void onCompassPoint(const SCompassPoint& /*point*/, EDownlinkLink /*link*/) {}
    virtual void onCompassCalibration(const SCompassCalibration& /*calibration*/) {}
    virtual void onCustomParameters(const SCustomParameters& /*parameters*/, EDownlinkLink /*link*/) {}
    virtual void onWaypointEcho(const SWaypointEcho& /*echo*/, EDownlinkLink /*link*/) {}
    // "$P2T" with a good checksum: write "ParameterSet.txt", then "Parameter is successfuly Saved!".
    virtual void onParameterSnapshot(const SParameterSnapshot& /*snapshot*/) {}
    // "$QUZA": append photoDataLine(report) to "PhotoData.txt".
    virtual void onPhotoReport(const SPhotoReport& /*report*/) {}
    // "$PAED": map photo mark setPic(first, second, 0).
    virtual void onPhotoMark(const SPhotoMark& /*mark*/) {}
    // Accepted and discarded sentences.
    virtual void onWaypointIndexEcho(const SWaypointIndexEcho& /*echo*/) {}
    virtual void onRouteSummary(const SRouteSummary& /*summary*/) {}
    virtual void onServoChannels(const SServoChannels& /*channels*/) {}
    // "$POR" and "$DIN" with good checksums: no content is read.
    virtual void onOpaqueFrame(std::string_view /*keyword*/, std::span<const uint8_t> /*frame*/) {}
    // Diagnostics: bytes dropped by a receiver.
    virtual void onDropped(const SDrop& /*drop*/) {}
    // Diagnostics: every recognised sentence (checksum good), before its own event.
    virtual void onSentence(std::string_view /*keyword*/, EDownlinkLink /*link*/) {}
};

} // namespace orvex
