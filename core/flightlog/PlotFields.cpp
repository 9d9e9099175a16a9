#include "flightlog/PlotFields.h"

#include "protocol/TelemetryRecord.h"
#include "base/Format.h"

#include <cmath>

namespace orvex {

namespace {

using R = const CTelemetryRecord&;

// Ground speed from the two GPS velocity components (cm/s).
double groundSpeed(R r)
{
    return std::hypot(double(r.gpsVelocityX()), double(r.gpsVelocityY())) / 100.0;
}

// The filter's vertical velocity counts downwards in cm/s; a climb is positive here.
double climbRate(R r)
{
    return -r.ekfVelocityD() / 100.0;
}

constexpr SPlotField kFields[] = {
    {"altitudeMetres", "高度", "m", 1, [](R r) { return r.altitude() / 10.0; }},
    {"groundSpeed", "地速", "m/s", 2, groundSpeed},
    {"climbRate", "爬升率", "m/s", 2, climbRate},
    {"rollDegrees", "横滚", "°", 0, [](R r) { return double(r.roll()); }},
    {"pitchDegrees", "俯仰", "°", 0, [](R r) { return double(r.pitch()); }},
    {"headingDegrees", "航向", "°", 1, [](R r) { return r.headingDegrees(); }},
    {"satellites", "卫星数", "", 0, [](R r) { return double(r.satelliteCount()); }},
    {"voltage", "飞控电压", "V", 2, [](R r) { return r.supplyVolts(); }},
    {"currentAmps", "电流", "A", 0, [](R r) { return double(r.current()); }},
    {"consumedMah", "耗电量", "mAh", 0, [](R r) { return double(r.consumedCapacity()); }},
    {"enginePulses", "发动机脉冲", "", 0, [](R r) { return double(r.motorPulses1()); }},
    {"takeoffDistanceMetres", "离起飞点距离", "m", 0, [](R r) { return double(r.takeoffDistance()); }},
    {"targetWaypointIndex", "目标航点", "", 0, [](R r) { return double(r.targetWaypoint()); }},
};

} // namespace

std::span<const SPlotField> plotFields()
{
    return kFields;
}

const SPlotField* findPlotField(std::string_view name)
{
    for (const auto& f : kFields)
        if (name == f.name) return &f;
    return nullptr;
}

std::string plotValueText(const SPlotField& field, double value)
{
    if (!std::isfinite(value)) return "nan";
    return strprintf("%.*f", field.decimals, value + 0.0); // no "-0"
}

} // namespace orvex
