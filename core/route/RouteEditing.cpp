#include "route/RouteEditing.h"

#include "base/Format.h"

namespace orvex {

int photoModeItem(int32_t photoMode)
{
    return (photoMode >= 0 && photoMode <= 4) ? static_cast<int>(photoMode) : 5;
}

std::string photoModeText(int32_t photoMode)
{
    return kPhotoModeItems[static_cast<size_t>(photoModeItem(photoMode))];
}

std::string circleText(uint8_t circleFlag)
{
    return kCircleItems[circleFlag == 1 ? 1 : 0];
}

std::array<std::string, 7> routeRowTexts(const CWayPoint& w, size_t index)
{
    return {strprintf("#%02d", static_cast<int>(index + 1)),
            strprintf("%lf", w.longitude),
            strprintf("%lf", w.latitude),
            strprintf("%d", w.altitude),
            photoModeText(w.photoMode),
            circleText(w.circleFlag),
            strprintf("%d", static_cast<int>(w.circleTime))};
}

namespace {

void swapWithFirstRule(CSkyWay& route, size_t a, size_t b)
{
    route.swap(a, b);
    if (a == 0 || b == 0) {
        route[0].circleFlag = 1;
        route[0].circleTime = 0;
        CWayPoint& left = route[a == 0 ? b : a];
        left.circleFlag = 0;
        left.circleTime = 0;
    }
}

} // namespace

size_t moveWaypointUp(CSkyWay& route, size_t index)
{
    if (index == 0 || index >= route.size())
        return index;
    swapWithFirstRule(route, index - 1, index);
    return index - 1;
}

size_t moveWaypointDown(CSkyWay& route, size_t index)
{
    if (index + 1 >= route.size())
        return index;
    swapWithFirstRule(route, index, index + 1);
    return index + 1;
}

CWayPointFields CWayPointFields::of(const CWayPoint& w)
{
    CWayPointFields f;
    f.longitude = w.longitude;
    f.latitude = w.latitude;
    f.altitude = w.altitude;
    f.photoItem = photoModeItem(w.photoMode);
    f.circleItem = w.circleFlag == 1 ? 1 : 0;
    f.circleTime = w.circleTime;
    f.turnAmount = w.turnAmount;
    f.servoAction = w.servoAction;
    f.delayTime = w.delayTime;
    f.repeatTime = w.repeatTime;
    return f;
}

void CWayPointFields::storeInto(CWayPoint& w) const
{
    w.longitude = longitude;
    w.latitude = latitude;
    w.altitude = altitude;
    if (photoItem >= 0 && photoItem < static_cast<int>(kPhotoModeOfItem.size()))
        w.photoMode = kPhotoModeOfItem[static_cast<size_t>(photoItem)];
    if (circleItem >= 0)
        w.circleFlag = static_cast<uint8_t>(circleItem);
    w.circleTime = static_cast<uint16_t>(circleTime);
    w.turnAmount = static_cast<uint16_t>(turnAmount);
    w.servoAction = static_cast<uint8_t>(servoAction);
    w.delayTime = static_cast<uint8_t>(delayTime);
    w.repeatTime = static_cast<uint8_t>(repeatTime);
}

bool storeFields(CSkyWay& route, size_t index, const CWayPointFields& fields, bool allAltitudes)
{
    if (index >= route.size())
        return false;
    fields.storeInto(route[index]);
    if (allAltitudes)
        route.setAllAltitudes(fields.altitude);
    return true;
}

void applyEditWayPoint(CWayPoint& w, int altitude, int photoItem, int circleItem, int circleTime)
{
    w.altitude = altitude;
    if (photoItem >= 0 && photoItem < static_cast<int>(kPhotoModeOfItem.size()))
        w.photoMode = kPhotoModeOfItem[static_cast<size_t>(photoItem)];
    w.circleFlag = static_cast<uint8_t>(circleItem);
    w.circleTime = static_cast<uint16_t>(circleTime);
}

} // namespace orvex
