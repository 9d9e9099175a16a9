#pragma once
// What the route dialog tests share: a temporary home directory, a ground station whose windows
// are the shared fake UI, message boxes answered and recorded, route helpers.

#include <QString>

#include <algorithm>
#include <string>
#include <vector>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "route/SkyWay.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

namespace orvex::routetest {

class TempHome : public CTempDir {
public:
    TempHome() : CTempDir("orvex-route-ui") {}
    void write(const std::string& name, const std::string& text) const { CTempDir::write(file(name), text); }
    std::string read(const std::string& name) const { return CTempDir::read(file(name)); }
};

// The shared fake user interface; questions are answered yes.
struct RecordingUi : SFakeUi {
    RecordingUi() { answer = true; }
    int count(const std::string& fn) const
    {
        return static_cast<int>(std::count_if(scripts.begin(), scripts.end(), [&](const auto& c) { return c.first == fn; }));
    }
    // The arguments of the last call of `fn` (empty when there was none).
    std::vector<std::string> last(const std::string& fn) const
    {
        for (auto it = scripts.rbegin(); it != scripts.rend(); ++it)
            if (it->first == fn)
                return it->second;
        return {};
    }
};

// Records every message box (OK boxes; questions are answered `answer`).
class BoxRecorder {
public:
    explicit BoxRecorder(bool answer = true)
    {
        setMessageBoxInterceptor([this, answer](const SMessageBoxCall& call) {
            texts.push_back(call.text);
            return answer;
        });
    }
    ~BoxRecorder() { setMessageBoxInterceptor({}); }
    std::vector<QString> texts;
};

inline CWayPoint point(double lon, double lat, int altitude = 500)
{
    CWayPoint w;
    w.longitude = lon;
    w.latitude = lat;
    w.altitude = altitude;
    w.photoMode = 100;
    w.circleFlag = 0;
    w.circleTime = 100;
    return w;
}

inline void fillRoute(CSkyWay& route, int n)
{
    route.clear();
    for (int i = 0; i < n; ++i)
        route.append(point(116.0 + 0.01 * i, 39.0 + 0.01 * i, 500 + 10 * i));
}

} // namespace orvex::routetest
