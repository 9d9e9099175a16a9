// Feeds arbitrary bytes to the route file reader (both record forms), writes what was read and
// reads it back, and runs the survey generator on the first four waypoints read.

#include "route/RouteFile.h"
#include "route/SurveyGenerator.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const char* tag : {"skw", "rw"}) {
        orvex::CSkyWay route(tag);
        orvex::parseRouteText(bytes, route, orvex::CWayPointDefaults{});

        // What we write reads back as the same number of waypoints with the same integers.
        orvex::CSkyWay again("skw");
        orvex::parseRouteText(orvex::routeFileText(route), again, orvex::CWayPointDefaults{});
        if (again.size() != route.size())
            __builtin_trap();
        for (size_t i = 0; i < route.size(); ++i) {
            if (again[i].altitude != route[i].altitude || again[i].circleTime != route[i].circleTime ||
                again[i].pointTag != route[i].pointTag || !std::isfinite(route[i].latitude))
                __builtin_trap();
        }

        if (route.size() >= 4 && size >= 4) {
            orvex::CSurveyInput in;
            in.extendM = 1 + data[0] * 40;
            in.spacingM = 1 + data[1] * 40;
            in.pickCorner(orvex::kSurveyLongSide1, route, 0);
            const orvex::CSurveyOutcome r = orvex::runSurveyGenerator(route, in, orvex::CWayPointDefaults{}, 100);
            if (r.ok) {
                for (const orvex::CWayPoint& w : route)
                    if (!std::isfinite(w.latitude) || !std::isfinite(w.longitude))
                        __builtin_trap();
                if (r.pairs < 1 || r.pairs > orvex::kSurveyMaxPairs)
                    __builtin_trap();
            }
        }
    }
    return 0;
}
