// `orvex route`: route files from the command line.
//   orvex route info FILE                  waypoints and total length as JSON
//   orvex route convert IN OUT             read IN by its extension, write the seven-number form
//   orvex route survey FILE --p1 I ...     the survey pattern generator on four corner waypoints, the
//                                          lane spacing typed or planned from a camera and overlaps
// Route files are read by their extension exactly as the ground station reads them ("skw" seven
// numbers a record, anything else six). New waypoints take the WayPoint defaults of Korva.ini in
// the home directory (--home DIR, else the program's directory).
#include "ToolCommand.h"

#include "base/AppPaths.h"
#include "base/Settings.h"
#include "route/RouteFile.h"
#include "route/SurveyGenerator.h"
#include "route/SurveyPlan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
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
bool settingsFromArgs(std::vector<std::string>& args, CWayPointDefaults& defaults, int& status)
{
    std::string home, error;
    if (!CAppPaths::takeHomeOption(args, home, error)) {
        status = toolUsageError(kName, error);
        return false;
    }
    const CSettings settings(CAppPaths(home).settingsPath());
    defaults = CWayPointDefaults::fromSettings(settings);
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

int runConvert(std::vector<std::string> args)
{
    CWayPointDefaults defaults;
    int status = 0;
    if (!settingsFromArgs(args, defaults, status))
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

// The survey command's options as given.
struct SSurveyOptions {
    std::string file, output;
    long long corner[4] = {0, 0, 0, 0};
    bool cornerGiven[4] = {false, false, false, false};
    long long extend = kSurveyFieldInitialM;
    std::optional<long long> spacing, altitude;
    // Camera mode: a camera by name, or its figures.
    std::string cameraName;
    std::optional<SCamera> camera;
    std::optional<double> gsdCm;
    double frontOverlap = 0, sideOverlap = 0;
    bool portrait = false;
};

bool parseReals(const std::string& text, std::size_t count, double* out)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i + 1 == count)) return false;
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto r = std::from_chars(part.data(), part.data() + part.size(), out[i]);
        if (part.empty() || r.ec != std::errc() || r.ptr != part.data() + part.size()) return false;
        start = comma + 1;
    }
    return true;
}

// Reads the arguments into `o`; the usage message when one is wrong.
std::optional<std::string> parseSurveyOptions(const std::vector<std::string>& args, SSurveyOptions& o)
{
    static const std::map<std::string, int> kCornerOption{{"--p1", 0}, {"--p2", 1}, {"--p3", 2}, {"--p4", 3}};
    SCamera figures;
    bool sensor = false, focal = false, image = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        const size_t eq = a.find('=');
        const bool isOption = a.size() > 1 && a[0] == '-';
        if (!isOption) {
            if (!o.file.empty()) return "takes one FILE";
            o.file = a;
            continue;
        }
        if (a == "--portrait") {
            o.portrait = true;
            continue;
        }
        if (eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        } else {
            if (i + 1 >= args.size()) return a + " needs a value";
            value = args[++i];
        }
        double pair[2] = {0, 0};
        long long number = 0;
        if (a == "-o" || a == "--output") {
            o.output = value;
        } else if (a == "--camera") {
            o.cameraName = value;
        } else if (a == "--sensor" || a == "--image" || a == "--overlap") {
            if (!parseReals(value, 2, pair)) return a + " needs two numbers A,B, not '" + value + "'";
            if (a == "--sensor") {
                figures.sensorWidthMm = pair[0], figures.sensorHeightMm = pair[1], sensor = true;
            } else if (a == "--image") {
                figures.imageWidthPx = int(pair[0]), figures.imageHeightPx = int(pair[1]), image = true;
            } else {
                o.frontOverlap = pair[0], o.sideOverlap = pair[1];
            }
        } else if (a == "--focal" || a == "--gsd") {
            if (!parseReals(value, 1, pair)) return a + " needs a number, not '" + value + "'";
            if (a == "--focal")
                figures.focalMm = pair[0], focal = true;
            else
                o.gsdCm = pair[0];
        } else if (!parseInt(value, number)) {
            return a + " needs an integer, not '" + value + "'";
        } else if (auto it = kCornerOption.find(a); it != kCornerOption.end()) {
            o.corner[it->second] = number;
            o.cornerGiven[it->second] = true;
        } else if (a == "--extend") {
            o.extend = number;
        } else if (a == "--spacing") {
            o.spacing = number;
        } else if (a == "--altitude") {
            o.altitude = number;
        } else {
            return "unknown option " + a;
        }
    }
    if (o.file.empty()) return "needs a route FILE";
    if (sensor || focal || image) {
        if (!(sensor && focal && image)) return "--sensor, --focal and --image go together";
        if (!o.cameraName.empty()) return "--camera or --sensor/--focal/--image, not both";
        figures.name = "--sensor";
        if (!figures.valid()) return "the camera's figures must be positive";
        o.camera = figures;
    }
    if (o.gsdCm && o.altitude) return "--gsd or --altitude, not both";
    if (o.gsdCm && !o.camera && o.cameraName.empty()) return "--gsd needs a camera";
    return std::nullopt;
}

int clampInt(long long v)
{
    return static_cast<int>(v < -2147483647LL ? -2147483647LL : (v > 2147483647LL ? 2147483647LL : v));
}

// The corners picked by number; false (with the message printed) for one outside the route.
bool chooseCorners(const SSurveyOptions& o, const CSkyWay& route, CSurveyInput& input)
{
    for (int k = 0; k < 4; ++k) {
        if (!o.cornerGiven[k]) continue;
        if (o.corner[k] < 1 || o.corner[k] > route.count()) {
            std::cerr << "orvex route: " << kSurveyCornerLabels[static_cast<size_t>(k)] << " #" << o.corner[k]
                      << " is not a waypoint of the route (1.." << route.count() << ")\n";
            return false;
        }
        input.setCorner(static_cast<ESurveyCorner>(k), route, static_cast<size_t>(o.corner[k] - 1));
    }
    return true;
}

// The camera named by --camera, from the operator's and the built-in ones; false (told) if unknown.
bool findNamedCamera(const CSettings& settings, SSurveyOptions& o)
{
    if (o.cameraName.empty()) return true;
    const std::vector<SCamera> cameras = availableCameras(settings);
    const SCamera* camera = findCamera(cameras, o.cameraName);
    if (!camera) {
        std::cerr << "orvex route: no camera named '" << o.cameraName << "'; known:";
        for (const SCamera& c : cameras) std::cerr << " '" << c.name << "'";
        std::cerr << "\n";
        return false;
    }
    o.camera = *camera;
    return true;
}

int runSurvey(std::vector<std::string> args)
{
    std::string home, error;
    if (!CAppPaths::takeHomeOption(args, home, error)) return toolUsageError(kName, error);
    const CSettings settings(CAppPaths(home).settingsPath());
    const CWayPointDefaults defaults = CWayPointDefaults::fromSettings(settings);

    SSurveyOptions o;
    o.frontOverlap = settings.getReal(keys::kFrontOverlap);
    o.sideOverlap = settings.getReal(keys::kSideOverlap);
    if (const auto usage = parseSurveyOptions(args, o)) return toolUsageError(kName, "survey: " + *usage);
    if (!findNamedCamera(settings, o)) return 1;

    CSkyWay route;
    if (!loadRoute(o.file, route, defaults)) return 1;
    double altitude = double(o.altitude.value_or(settings.getInt(keys::kAltitude)));
    std::optional<SSurveyCameraPlan> plan;
    if (o.camera) {
        if (o.gsdCm) altitude = std::floor(altitudeForResolution(*o.camera, *o.gsdCm));
        plan = planSurveyCamera(*o.camera, altitude, o.frontOverlap, o.sideOverlap,
                                o.portrait ? ECameraOrientation::Portrait : ECameraOrientation::Landscape);
    }
    CSurveyInput input;
    input.extendM = clampInt(o.extend);
    input.spacingM = clampInt(o.spacing.value_or(plan ? plan->generatorSpacingM : kSurveyFieldInitialM));
    // The distance checks come first, as in the dialog; the camera's checks before any corner.
    auto message = validateSurveyDistances(input);
    if (!message && plan)
        message = checkSurveyPlan(o.frontOverlap, o.sideOverlap, input.spacingM, plan->footprintAcrossM, altitude,
                                  settings.getReal(keys::kCeiling));
    if (message) {
        std::cerr << *message << "\n";
        return 1;
    }
    if (!chooseCorners(o, route, input)) return 1;
    const std::size_t before = route.size();
    CSkyWay planned = route;
    const CSurveyOutcome outcome = runSurveyGenerator(planned, input, defaults, clampInt(std::lround(altitude)));
    if (!outcome.ok) message = outcome.message;
    if (!message) message = checkSurveyWaypointCount(before, surveyReplacedIndexes(input).size(), outcome.inserted);
    if (message) {
        std::cerr << *message << "\n";
        return 1;
    }
    if (o.output.empty()) {
        std::cout << routeFileText(planned);
        return 0;
    }
    if (!writeRouteFile(o.output, planned)) {
        std::cerr << "orvex route: " << kRouteSaveFailedText << ": " << o.output << "\n";
        return 1;
    }
    const SRouteStats stats = routeStats(planned, settings.getReal(keys::kCruiseSpeed),
                                         plan ? plan->photoDistanceM : 0, plan ? plan->laneSpacingM : 0);
    std::cout << "{\"pairs\":" << outcome.pairs << ",\"generated\":" << outcome.inserted
              << ",\"insertedAt\":" << outcome.insertedAt + 1 << ",\"count\":" << planned.size()
              << ",\"lengthMetres\":" << jsonNumber(stats.lengthMetres)
              << ",\"flightTimeSeconds\":" << jsonNumber(stats.flightTimeSeconds);
    if (plan)
        std::cout << ",\"altitudeMetres\":" << jsonNumber(altitude) << ",\"gsdCm\":" << jsonNumber(plan->gsdCm)
                  << ",\"laneSpacingMetres\":" << jsonNumber(plan->laneSpacingM) << ",\"spacingMetres\":"
                  << input.spacingM << ",\"photoDistanceMetres\":" << jsonNumber(plan->photoDistanceM)
                  << ",\"photoCount\":" << stats.photoCount << ",\"areaSquareMetres\":"
                  << jsonNumber(stats.areaSquareMetres);
    std::cout << "}\n";
    return 0;
}

// `info`: the route as JSON with its statistics; given camera options, its photos too (at the
// altitude given, else that of the first waypoint that starts photos).
int runInfo(std::vector<std::string> args)
{
    std::string home, error;
    if (!CAppPaths::takeHomeOption(args, home, error)) return toolUsageError(kName, error);
    const CSettings settings(CAppPaths(home).settingsPath());
    SSurveyOptions o;
    o.frontOverlap = settings.getReal(keys::kFrontOverlap);
    o.sideOverlap = settings.getReal(keys::kSideOverlap);
    if (const auto usage = parseSurveyOptions(args, o)) return toolUsageError(kName, "info: " + *usage);
    if (std::find(std::begin(o.cornerGiven), std::end(o.cornerGiven), true) != std::end(o.cornerGiven) ||
        o.spacing || !o.output.empty())
        return toolUsageError(kName, "info takes one FILE and camera options only");
    if (!findNamedCamera(settings, o)) return 1;
    CSkyWay route;
    if (!loadRoute(o.file, route, CWayPointDefaults::fromSettings(settings))) return 1;

    std::optional<SSurveyCameraPlan> plan;
    if (o.camera) {
        double altitude = 0;
        if (o.altitude)
            altitude = double(*o.altitude);
        else if (o.gsdCm)
            altitude = std::floor(altitudeForResolution(*o.camera, *o.gsdCm));
        else
            for (const CWayPoint& w : route)
                if (w.photoMode == 2 || w.photoMode == 3) {
                    altitude = w.altitude;
                    break;
                }
        plan = planSurveyCamera(*o.camera, altitude, o.frontOverlap, o.sideOverlap,
                                o.portrait ? ECameraOrientation::Portrait : ECameraOrientation::Landscape);
    }
    const SRouteStats stats = routeStats(route, settings.getReal(keys::kCruiseSpeed), plan ? plan->photoDistanceM : 0,
                                         plan ? plan->laneSpacingM : 0);
    std::string out = "{\"file\":" + jsonString(o.file) + ",\"formatTag\":" + jsonString(route.formatTag()) +
                      ",\"count\":" + std::to_string(route.size()) + ",\"lengthKm\":" + jsonNumber(route.lengthKm()) +
                      ",\"lengthMetres\":" + jsonNumber(stats.lengthMetres) +
                      ",\"flightTimeSeconds\":" + jsonNumber(stats.flightTimeSeconds);
    if (plan)
        out += ",\"areaSquareMetres\":" + jsonNumber(stats.areaSquareMetres) +
               ",\"photoCount\":" + std::to_string(stats.photoCount) + ",\"gsdCm\":" + jsonNumber(plan->gsdCm);
    out += ",\"waypoints\":[";
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
    "route info FILE [camera options] | route convert IN OUT | route survey FILE --p1 I --p2 I --p3 I --p4 I --extend E "
    "(--spacing D | --camera NAME | --sensor W,H --focal F --image W,H) [--overlap FRONT,SIDE] [--portrait] "
    "(--altitude A | --gsd CM) [-o OUT]  [--home DIR]",
    "show a route file as JSON, convert .rw/.skw route files, or generate a survey pattern over four corners",
    &runRoute};

} // namespace
