#pragma once
// What the route edit dialog ("航线编辑") and the edit-waypoint dialog ("编辑航点") decide without
// a screen: the row texts of the list, the combo items, moving and deleting waypoints with the
// first-waypoint rule, and storing the fields into a waypoint.

#include <array>
#include <cstdint>
#include <string>

#include "route/SkyWay.h"

namespace orvex {

// Photo-mode combo items; item i stands for kPhotoModeOfItem[i].
inline constexpr std::array<const char*, 6> kPhotoModeItems{"停止拍照", "开始拍照", "等距拍照1",
                                                            "等距拍照2", "连拍数秒", "保持状态不变"};
inline constexpr std::array<int32_t, 6> kPhotoModeOfItem{0, 1, 2, 3, 4, 100};
// Circle combo items: index 0 "不盘旋", 1 "盘旋" (the index is the circle flag).
inline constexpr std::array<const char*, 2> kCircleItems{"不盘旋", "盘旋"};

// List columns of the route edit dialog: titles and widths in units of
// w = (client width - vertical scroll-bar width) / 23; all right-aligned.
inline constexpr std::array<const char*, 7> kRouteColumnTitles{"编号", "经度", "纬度", "高度[m]",
                                                               "开始拍照", "是否盘旋", "制式时间"};
inline constexpr std::array<double, 7> kRouteColumnUnits{2, 3, 3, 2, 3, 2.2, 2.2};
inline constexpr int kRouteColumnUnitDivisor = 23;

// Field ranges of the dialogs.
inline constexpr double kLongitudeMin = -180, kLongitudeMax = 180;
inline constexpr double kLatitudeMin = -90, kLatitudeMax = 90;
// The altitude is bounded like the default altitude of the options page (10,000 m).
inline constexpr int kAltitudeFieldMin = 0, kAltitudeFieldMax = 10000;
inline constexpr int kCircleTimeFieldMin = 0, kCircleTimeFieldMax = 65536;

// Combo index of a photo mode (values other than 0-4 show as item 5, "保持状态不变").
int photoModeItem(int32_t photoMode);
std::string photoModeText(int32_t photoMode);
// "盘旋" for circle flag 1, else "不盘旋".
std::string circleText(uint8_t circleFlag);

// The seven texts of a list row: "#%02d" (index + 1), "%lf", "%lf", "%d", photo text, circle
// text, "%d".
std::array<std::string, 7> routeRowTexts(const CWayPoint& point, size_t index);

// "上移" / "下移": swap with the neighbour. A waypoint that becomes the first one circles with no
// time limit (flag 1, time 0); the one that leaves the first place stops circling (0, 0).
// Return the new index of the moved waypoint, or the old one when nothing moved.
size_t moveWaypointUp(CSkyWay& route, size_t index);
size_t moveWaypointDown(CSkyWay& route, size_t index);

// The editable fields of the route edit dialog (the visible ones and the hidden "保留" ones).
struct CWayPointFields {
    double longitude = 0;
    double latitude = 0;
    int altitude = 500;
    int photoItem = 5;    // combo index
    int circleItem = 0;   // combo index = circle flag
    int circleTime = 0;
    int turnAmount = 100; // hidden
    int servoAction = 100;
    int delayTime = 100;
    int repeatTime = 100;

    // The fields a selected row loads.
    static CWayPointFields of(const CWayPoint& point);
    // Stores the fields into `point` (narrow fields keep their low bits).
    void storeInto(CWayPoint& point) const;
};

// The edit dialog's store at a key release: the fields go into waypoint `index`; with
// "全部高度" every waypoint also takes the altitude. False when `index` is outside the route.
bool storeFields(CSkyWay& route, size_t index, const CWayPointFields& fields, bool allAltitudes);

// "编辑航点" OK: altitude, photo mode (items 0-4 as 0-4, item 5 as 100), circle flag (the combo
// index) and circle time.
void applyEditWayPoint(CWayPoint& point, int altitude, int photoItem, int circleItem, int circleTime);

} // namespace orvex
