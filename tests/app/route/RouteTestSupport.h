#pragma once
// What the route dialog tests share: a station on the fake UI, recorded message boxes, route helpers.

#include <QString>

#include <vector>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "route/SkyWay.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace orvex::routetest {

// A station in a fresh home whose windows are the fake UI.
struct StationFixture {
    StationFixture() { station.setUi(&ui); }

    CTempDir home{"orvex-route-ui"};
    SFakeUi ui;
    CGroundStation station{CAppPaths(home.path())};
};

// Records every message box; questions are answered with `answer`.
class BoxRecorder {
public:
    BoxRecorder()
    {
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            texts.push_back(call.text);
            defaultYes.push_back(call.defaultYes);
            return answer;
        });
    }
    ~BoxRecorder() { setMessageBoxInterceptor({}); }
    std::vector<QString> texts;
    std::vector<bool> defaultYes;
    bool answer = true;
};

inline CWayPoint point(double lon, double lat, int altitude = 500)
{
    CWayPoint w;
    w.longitude = lon;
    w.latitude = lat;
    w.altitude = altitude;
    w.circleFlag = 0;
    return w;
}

inline void fillRoute(CSkyWay& route, int n)
{
    route.clear();
    for (int i = 0; i < n; ++i)
        route.append(point(116.0 + 0.01 * i, 39.0 + 0.01 * i, 500 + 10 * i));
}

} // namespace orvex::routetest
