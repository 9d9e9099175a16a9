#include "flightlog/FlightSummary.h"

#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"
#include "protocol/TelemetryRecord.h"
#include "base/Geo.h"
#include "base/Format.h"

#include <algorithm>
#include <cstring>

namespace orvex {

namespace {

CTelemetryRecord recordAt(const CRecordStore& store, std::size_t i)
{
    CTelemetryRecord::Bytes b;
    std::memcpy(b.data(), store.record(i), b.size());
    return CTelemetryRecord(b);
}

bool counted(const std::uint8_t* rec)
{
    return recordChecksumOk(rec) && !recordIsEmpty(rec);
}

long clockDifference(long from, long to)
{
    return ((to - from) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
}

std::string number(const std::optional<double>& v, int decimals)
{
    return v ? strprintf("%.*f", decimals, *v + 0.0) : "null";
}

std::string eventJson(const std::optional<SFlightEvent>& e)
{
    if (!e) return "null";
    return strprintf("{\"index\": %zu, \"time\": %s}", e->index,
                     e->timeOfDay ? ("\"" + timeOfDayText(e->timeOfDay) + "\"").c_str() : "null");
}

} // namespace

std::optional<long> recordTimeOfDay(const std::uint8_t* record)
{
    const unsigned h = record[28], m = record[29], s = record[30];
    if (h > 23 || m > 59 || s > 59 || (h == 0 && m == 0 && s == 0)) return std::nullopt;
    return long(h) * 3600 + long(m) * 60 + long(s);
}

std::string timeOfDayText(std::optional<long> seconds)
{
    if (!seconds) return "--:--:--";
    return strprintf("%02ld:%02ld:%02ld", *seconds / 3600, *seconds / 60 % 60, *seconds % 60);
}

SFlightSummary summarizeFlight(const CRecordStore& store)
{
    SFlightSummary s;
    const std::size_t n = store.count();
    // Pass 1: take-off, landing, voltage, capacity, gaps.
    std::optional<std::size_t> lastAirborne;
    std::optional<long> previousTime;
    std::size_t previousIndex = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* rec = store.record(i);
        if (!counted(rec)) continue;
        const CTelemetryRecord r = recordAt(store, i);
        if (isAirborne(r)) {
            if (!s.takeoff) s.takeoff = SFlightEvent{i, recordTimeOfDay(rec)};
            lastAirborne = i;
        }
        s.minVoltage = std::min(s.minVoltage.value_or(r.supplyVolts()), r.supplyVolts());
        s.consumedMah = r.consumedCapacity();
        if (const auto t = recordTimeOfDay(rec)) {
            if (previousTime) {
                const long step = clockDifference(*previousTime, *t);
                if (step > kFlightGapSeconds) s.gaps.push_back({previousIndex, step});
            }
            previousTime = t;
            previousIndex = i;
        }
    }
    std::size_t from = 0, to = n; // the flight: records from .. to-1
    if (s.takeoff) {
        from = s.takeoff->index;
        for (std::size_t i = *lastAirborne + 1; i < n; ++i)
            if (counted(store.record(i))) {
                s.landing = SFlightEvent{i, recordTimeOfDay(store.record(i))};
                to = i + 1;
                break;
            }
        if (s.landing && s.takeoff->timeOfDay && s.landing->timeOfDay)
            s.flightSeconds = clockDifference(*s.takeoff->timeOfDay, *s.landing->timeOfDay);
    }
    // Pass 2: over the flight.
    std::optional<CTelemetryRecord> origin, previous;
    for (std::size_t i = from; i < to; ++i) {
        const std::uint8_t* rec = store.record(i);
        if (!counted(rec)) continue;
        const CTelemetryRecord r = recordAt(store, i);
        const double altitude = r.altitude() / 10.0;
        s.maxAltitudeMetres = std::max(s.maxAltitudeMetres.value_or(altitude), altitude);
        if (!recordPositionValid(rec)) continue;
        if (!origin) origin = r;
        const double fromOrigin =
            1000.0 * routeDistanceKm(origin->latitude(), origin->longitude(), r.latitude(), r.longitude());
        s.maxDistanceMetres = std::max(s.maxDistanceMetres.value_or(0.0), fromOrigin);
        if (previous)
            s.distanceFlownMetres +=
                1000.0 * routeDistanceKm(previous->latitude(), previous->longitude(), r.latitude(), r.longitude());
        previous = r;
    }
    return s;
}

std::string flightSummaryJson(const SFlightSummary& s)
{
    std::string gaps;
    for (const auto& g : s.gaps)
        gaps += strprintf("%s{\"index\": %zu, \"seconds\": %ld}", gaps.empty() ? "" : ", ", g.startIndex, g.seconds);
    return "{\"takeoff\": " + eventJson(s.takeoff) + ", \"landing\": " + eventJson(s.landing) +
           ", \"flightSeconds\": " + (s.flightSeconds ? std::to_string(*s.flightSeconds) : "null") +
           ", \"maxAltitudeMetres\": " + number(s.maxAltitudeMetres, 1) +
           ", \"maxDistanceMetres\": " + number(s.maxDistanceMetres, 1) +
           ", \"distanceFlownMetres\": " + number(s.distanceFlownMetres, 1) +
           ", \"minVoltage\": " + number(s.minVoltage, 2) +
           ", \"consumedMah\": " + (s.consumedMah ? std::to_string(*s.consumedMah) : "null") + ", \"gaps\": [" + gaps +
           "]}";
}

} // namespace orvex
