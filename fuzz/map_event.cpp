// Map event texts from the page, parsed and handled against a route, a settings file in a
// temporary directory and answering windows: no crash, no overflow, no unbounded growth.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "base/Settings.h"
#include "map/MapEventHandler.h"

namespace {

struct CNullScript : orvex::IMapScript {
    void call(const std::string&, const std::vector<std::string>&) override {}
};

struct CAnsweringUi : orvex::IMapUi {
    unsigned n = 0;
    void setStatusText(const std::string&) override {}
    void showMessage(const std::string&) override {}
    std::optional<std::string> askName(orvex::EMapNameDialog, const std::string& initial) override
    {
        if (++n % 3 == 0)
            return std::nullopt;
        return initial + "x";
    }
    void openRouteEditor(int) override {}
    orvex::EWaypointMenuChoice waypointMenu(int, int) override
    {
        return static_cast<orvex::EWaypointMenuChoice>(++n % 4);
    }
    orvex::EPlaceMarkMenuChoice placeMarkMenu(int, int) override
    {
        return static_cast<orvex::EPlaceMarkMenuChoice>(++n % 3);
    }
    bool editWaypoint(int) override { return true; }
    void uploadWaypoint(int) override {}
    void requestOfflinePage() override {}
    void placeMarksChanged() override {}
    void historyChanged() override {}
};

// The settings file is rewritten on most events: it lives in memory (/dev/shm) where there is one,
// so that a run is not bound by the disk, and its folder goes away when the run ends.
std::string& settingsDir()
{
    static std::string dir;
    return dir;
}

void removeSettingsDir()
{
    if (!settingsDir().empty()) {
        std::remove((settingsDir() + "/Korva.ini").c_str());
        ::rmdir(settingsDir().c_str());
    }
}

std::string settingsPath()
{
    static const std::string path = [] {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/orvex-fuzz-map-XXXXXX";
            if (::mkdtemp(pattern.data())) {
                settingsDir() = pattern;
                std::atexit(removeSettingsDir);
                return pattern + "/Korva.ini";
            }
        }
        return std::string("/tmp/orvex-fuzz-map-Korva.ini");
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::remove(settingsPath().c_str()); // every input starts from an empty settings file
    orvex::CSettings settings(settingsPath());
    orvex::CSkyWay route;
    CNullScript script;
    CAnsweringUi ui;
    orvex::CMapEventHandler handler(route, script, settings, ui);
    // Several events in one input, separated by line feeds; undo/redo in between.
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    int events = 0;
    while (start <= input.size() && events < 64) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        handler.handle(std::string_view(input).substr(start, end - start));
        if (++events % 5 == 0)
            handler.undo();
        if (events % 7 == 0)
            handler.redo();
        start = end + 1;
    }
    handler.activatePlaceMark(0);
    handler.activateHistory(0);
    handler.deletePlaceMark(0);
    handler.deleteHistory(0);
    if (route.size() > 10001u * 64u)
        std::abort();
    return 0;
}
