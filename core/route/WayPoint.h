#pragma once
// CWayPoint: one waypoint of a route, every field in the width the flight controller and the
// route files give it. Assigning a wider value keeps its low bits (the unsigned fields wrap).
//
// Waypoint numbers shown to the operator and sent to the aircraft count from 1; indexes passed to
// the map page count from 0.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

namespace orvex {

class CSettings;

// A coordinate rounded to single precision; values beyond the float range become infinities
// (a plain conversion of such a value would be undefined).
inline float narrowToFloat(double v)
{
    if (v > FLT_MAX)
        return INFINITY;
    if (v < -FLT_MAX)
        return -INFINITY;
    return static_cast<float>(v);
}

// Photo modes (camera action at a waypoint).
enum EPhotoMode : int32_t {
    kPhotoStop = 0,            // "停止拍照"
    kPhotoStart = 1,           // "开始拍照"
    kPhotoEqualDistance1 = 2,  // "等距拍照1"
    kPhotoEqualDistance2 = 3,  // "等距拍照2"
    kPhotoBurst = 4,           // "连拍数秒"
    kPhotoKeep = 100,          // "保持状态不变" (also shown for every other value)
};

// Upload states (route upload).
enum EUploadState : int32_t {
    kUploadIdle = 0,
    kUploadPending = 1,
    kUploadAcknowledged = 2,
    kUploadSentWaiting = 3,
};

// The values a new waypoint takes from the settings file (section WayPoint).
struct CWayPointDefaults {
    int32_t altitude = 500;    // "Altitude"
    int32_t photoMode = 100;   // "Speed"
    int32_t turnAmount = 100;  // "ZhuanWanLiang"
    int32_t circleFlag = 100;  // "ZhiShiHangXian" (100, not 1: no circling)
    int32_t circleTime = 100;  // "ZhiShiShiJian"
    int32_t servoAction = 100; // "ZhiXingDuoJi"
    int32_t delayTime = 100;   // "DelayTime"
    int32_t repeatTime = 100;  // "RepeatTime"

    // Reads the eight keys now (missing keys give the defaults above).
    static CWayPointDefaults fromSettings(const CSettings& settings);
};

struct CWayPoint {
    double longitude = 0;        // degrees, east positive
    double latitude = 0;         // degrees, north positive
    int32_t altitude = 500;      // metres
    int32_t pointTag = 0;        // the map page's own number for the point (0 when not from the page)
    int32_t photoMode = 100;     // EPhotoMode
    int32_t verified = 0;        // 1 once the aircraft echoed this waypoint correctly
    uint16_t turnAmount = 100;
    uint8_t circleFlag = 100;    // 1 = circle here ("盘旋"), anything else = no ("不盘旋")
    uint16_t circleTime = 100;   // seconds of circling, 0 = no limit
    uint8_t servoAction = 100;
    uint8_t delayTime = 100;
    uint8_t repeatTime = 100;
    int32_t uploadState = 0;     // EUploadState
    int32_t reserved = 0;
    int32_t uploadWait = 0;      // upload ticks since this waypoint was last sent
    std::string label;           // format tag of the route file it was read from ("skw", "rw"), or empty

    // A new waypoint at 0, 0 with the given defaults (low bits kept where a field is narrower).
    static CWayPoint makeNew(const CWayPointDefaults& defaults);
    // A new waypoint with the defaults read from the settings file at this moment.
    static CWayPoint makeNew(const CSettings& settings);

    bool circles() const { return circleFlag == 1; }

    bool operator==(const CWayPoint&) const = default;
};

} // namespace orvex
