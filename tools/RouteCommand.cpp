// `orvex route`: route files from the command line.
//   orvex route info FILE                  waypoints and total length as JSON
//   orvex route convert IN OUT             read IN by its extension, write the seven-number form
//   orvex route survey FILE --p1 I ...     the survey pattern generator on four corner waypoints
// Route files are read by their extension exactly as the ground station reads them ("skw" seven
// numbers a record, anything else six). New waypoints take the WayPoint defaults of Korva.ini in
// the home directory (--home DIR, else the program's directory).
#include "ToolCommand.h"

#include "app/AppPaths.h"
#include "app/Settings.h"
#include "route/RouteFile.h"
#include "route/SurveyGenerator.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>

using namespace orvex;

namespace {

const char* kName = "route";

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Shortest text that reads back to the same double, point as decimal separator.
std::string jsonNumber(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

bool parseInt(const std::string& text, long long& out)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    if (*first == '+')
        ++first;
    const auto r = std::from_chars(first, text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Takes --home out of the arguments and returns the WayPoint defaults of that home's Korva.ini.
bool settingsFromArgs(std::vector<std::string>& args, CWayPointDefaults& defaults, int* altitude, int& status)
{
    std::string home, error;
    if (!CAppPaths::takeHomeOption(args, home, error)) {
        status = toolUsageError(kName, error);
        return false;
    }
    const CSettings settings(CAppPaths(home).settingsPath());
    defaults = CWayPointDefaults::fromSettings(settings);
    if (altitude)
        *altitude = settings.getInt(keys::kAltitude);
    return true;
}

bool loadRoute(const std::string& path, CSkyWay& route, const CWayPointDefaults& defaults)
{
    route = CSkyWay(routeFormatTagOf(path));
    if (readRouteFile(path, route, defaults))
        return true;
    std::cerr << "orvex route: " << kRouteLoadFailedText << ": " << path << "\n";
    return false;
}

int runInfo(std::vector<std::string> args)
{
    CWayPointDefaults defaults;
    int status = 0;
    if (!settingsFromArgs(args, defaults, nullptr, status))
        return status;
    if (args.size() != 1)
        return toolUsageError(kName, "info takes one FILE");
    CSkyWay route;
    if (!loadRoute(args[0], route, defaults))
        return 1;
    std::string out = "{\"file\":" + jsonString(args[0]) + ",\"formatTag\":" + jsonString(route.formatTag()) +
                      ",\"count\":" + std::to_string(route.size()) + ",\"lengthKm\":" + jsonNumber(route.lengthKm()) +
                      ",\"waypoints\":[";
    for (size_t i = 0; i < route.size(); ++i) {
        const CWayPoint& w = route[i];
        if (i)
            out += ',';
        out += "{\"number\":" + std::to_string(i + 1) + ",\"longitude\":" + jsonNumber(w.longitude) +
               ",\"latitude\":" + jsonNumber(w.latitude) + ",\"altitude\":" + std::to_string(w.altitude) +
               ",\"photoMode\":" + std::to_string(w.photoMode) + ",\"circleFlag\":" + std::to_string(w.circleFlag) +
               ",\"circleTime\":" + std::to_string(w.circleTime) + ",\"pointTag\":" + std::to_string(w.pointTag) +
               "}";
    }
    out += "]}";
    std::cout << out << "\n";
    return 0;
}

int runConvert(std::vector<std::string> args)
{
    CWayPointDefaults defaults;
    int status = 0;
    if (!settingsFromArgs(args, defaults, nullptr, status))
        return status;
    if (args.size() != 2)
        return toolUsageError(kName, "convert takes IN and OUT");
    CSkyWay route;
    if (!loadRoute(args[0], route, defaults))
        return 1;
    if (!writeRouteFile(args[1], route)) {
        std::cerr << "orvex route: " << kRouteSaveFailedText << ": " << args[1] << "\n";
        return 1;
    }
    return 0;
}

int runSurvey(std::vector<std::string> args)
{
    CWayPointDefaults defaults;
    int altitude = 500;
    int status = 0;
    if (!settingsFromArgs(args, defaults, &altitude, status))
        return status;

    static const std::map<std::string, int> kCornerOption{{"--p1", 0}, {"--p2", 1}, {"--p3", 2}, {"--p4", 3}};
    std::string file, output;
    long long corner[4] = {0, 0, 0, 0};
    bool cornerGiven[4] = {false, false, false, false};
    long long extend = kSurveyFieldInitialM, spacing = kSurveyFieldInitialM, alt = altitude;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        const size_t eq = a.find('=');
        const bool isOption = a.size() > 1 && a[0] == '-';
        if (isOption && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        } else if (isOption) {
            if (i + 1 >= args.size())
                return toolUsageError(kName, a + " needs a value");
            value = args[++i];
        }
        if (!isOption) {
            if (!file.empty())
                return toolUsageError(kName, "survey takes one FILE");
            file = a;
            continue;
        }
        if (a == "-o" || a == "--output") {
            output = value;
            continue;
        }
        long long number = 0;
        if (!parseInt(value, number))
            return toolUsageError(kName, a + " needs an integer, not '" + value + "'");
        if (auto it = kCornerOption.find(a); it != kCornerOption.end()) {
            corner[it->second] = number;
            cornerGiven[it->second] = true;
        } else if (a == "--extend") {
            extend = number;
        } else if (a == "--spacing") {
            spacing = number;
        } else if (a == "--altitude") {
            alt = number;
        } else {
            return toolUsageError(kName, "unknown option " + a);
        }
    }
    if (file.empty())
        return toolUsageError(kName, "survey needs a route FILE");

    CSkyWay route;
    if (!loadRoute(file, route, defaults))
        return 1;

    const auto clampInt = [](long long v) {
        return static_cast<int>(v < -2147483647LL ? -2147483647LL : (v > 2147483647LL ? 2147483647LL : v));
    };
    CSurveyInput input;
    input.extendM = clampInt(extend);
    input.spacingM = clampInt(spacing);
    // The distance checks come first, as in the dialog.
    if (const auto message = validateSurveyDistances(input)) {
        std::cerr << *message << "\n";
        return 1;
    }
    for (int k = 0; k < 4; ++k) {
        if (!cornerGiven[k])
            continue;
        if (corner[k] < 1 || corner[k] > route.count()) {
            std::cerr << "orvex route: " << kSurveyCornerLabels[static_cast<size_t>(k)] << " #" << corner[k]
                      << " is not a waypoint of the route (1.." << route.count() << ")\n";
            return 1;
        }
        input.setCorner(static_cast<ESurveyCorner>(k), route, static_cast<size_t>(corner[k] - 1));
    }
    const CSurveyOutcome outcome = runSurveyGenerator(route, input, defaults, clampInt(alt));
    if (!outcome.ok) {
        std::cerr << outcome.message << "\n";
        return 1;
    }
    if (output.empty()) {
        std::cout << routeFileText(route);
        return 0;
    }
    if (!writeRouteFile(output, route)) {
        std::cerr << "orvex route: " << kRouteSaveFailedText << ": " << output << "\n";
        return 1;
    }
    std::cout << "{\"pairs\":" << outcome.pairs << ",\"generated\":" << outcome.inserted
              << ",\"insertedAt\":" << outcome.insertedAt + 1 << ",\"count\":" << route.size() << "}\n";
    return 0;
}

int runRoute(const std::vector<std::string>& args)
{
    if (args.empty())
        return toolUsageError(kName, "missing sub-command (info, convert or survey)");
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info")
        return runInfo(std::move(rest));
    if (args[0] == "convert")
        return runConvert(std::move(rest));
    if (args[0] == "survey")
        return runSurvey(std::move(rest));
    return toolUsageError(kName, "unknown sub-command '" + args[0] + "'");
}

CToolCommandRegistration reg{
    kName,
    "route info FILE | route convert IN OUT | route survey FILE --p1 I --p2 I --p3 I --p4 I --extend E "
    "--spacing D --altitude A [-o OUT]  [--home DIR]",
    "show a route file as JSON, convert .rw/.skw route files, or generate a survey pattern over four corners",
    &runRoute};

} // namespace
