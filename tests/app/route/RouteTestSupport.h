#pragma once
// What the route dialog tests share: a temporary home directory, a ground station whose windows
// are a recorder (messages and map calls), message boxes answered and recorded, route helpers.

#include <QString>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "route/SkyWay.h"
#include "support/TempDir.h"

namespace orvex::routetest {

class TempHome : public CTempDir {
public:
    TempHome() : CTempDir("orvex-route-ui") {}
    void write(const std::string& name, const std::string& text) const { CTempDir::write(file(name), text); }
    std::string read(const std::string& name) const { return CTempDir::read(file(name)); }
};

struct SMapCall {
    std::string fn;
    std::vector<std::string> args;
};

class RecordingUi : public IGroundStationUi {
public:
    std::vector<std::string> messages;
    std::vector<SMapCall> mapCalls;
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string&, const std::string&, bool) override { return true; }
    void telemetryNotify(std::span<const std::uint8_t>, const SAircraftMarker&) override {}
    void callMapScript(const std::string& fn, const std::vector<std::string>& args) override
    {
        mapCalls.push_back({fn, args});
    }
    int count(const std::string& fn) const
    {
        int n = 0;
        for (const SMapCall& c : mapCalls)
            n += c.fn == fn;
        return n;
    }
    const SMapCall* last(const std::string& fn) const
    {
        for (auto it = mapCalls.rbegin(); it != mapCalls.rend(); ++it)
            if (it->fn == fn)
                return &*it;
        return nullptr;
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
