#include "map/MapEventHandler.h"

#include "base/AddressNames.h"
#include "base/Format.h"

#include <cmath>
#include <cstdlib>

namespace orvex {

namespace {

constexpr int kPlaceMarkCameraFields = 7;

std::string trimBlanks(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

// The n-th comma-terminated field of a text (empty when missing).
std::string fieldAt(std::string_view text, int n)
{
    CMapFieldReader reader(text);
    std::string_view field;
    for (int i = 0; i <= n; ++i)
        field = reader.nextField();
    return std::string(field);
}

} // namespace

CMapEventHandler::CMapEventHandler(CSkyWay& route, IMapScript& script, CSettings& settings, IMapUi& ui)
    : m_route(route), m_script(script), m_settings(settings), m_ui(ui)
{
}

int CMapEventHandler::defaultAltitude() const
{
    return m_settings.getInt(keys::kAltitude);
}

void CMapEventHandler::setToolMode(int mode)
{
    m_toolMode = mode;
    if (m_toolModeSink)
        m_toolModeSink(mode);
}

void CMapEventHandler::handle(std::string_view text)
{
    const std::string code = mapEventCode(text);
    const std::string_view payload = mapEventPayload(text);
    if (code == "1000;")
        onPageLoaded();
    else if (code == "1001;")
        onAppend(payload);
    else if (code == "1002;")
        onWaypointMoved(payload);
    else if (code == "1003;") {
        // The page names the double-clicked waypoint; without it the editor opens at row #01.
        const int row = CMapFieldReader(payload).nextInt();
        if (!m_route.empty())
            m_ui.openRouteEditor(m_route.validIndex(row) ? row : 0);
    } else if (code == "1005;")
        takeSnapshot();
    else if (code == "1010;")
        onInsert(payload);
    else if (code == "2001;")
        m_settings.setText(keys::kLastMap, text);
    else if (code == "3001;")
        onPlaceMarkClick(payload);
    else if (code == "5001;")
        onMouse(payload);
    else if (code == "5002;")
        onMeasureMove(payload);
    else if (code == "5003;")
        onMeasureDone(payload);
    else if (code == "5005;")
        onPlanMove(payload);
    else if (code == "5006;") {
        CMapFieldReader reader(payload);
        m_clickPoint = readPoint(reader);
    } else if (code == "6001;")
        onWaypointMenu(payload);
    else if (code == "6002;")
        onPlaceMarkMenu(payload);
    else if (code == "7001;")
        m_ui.requestOfflinePage();
    else if (code == "8001;")
        onSearchResult(payload);
    else if (code == "8002;") // the page found nothing for a search: fields name
        m_ui.setStatusText("未找到：" + std::string(CMapFieldReader(payload).nextField()));
    // Anything else changes nothing.
}

SMapClickPoint CMapEventHandler::readPoint(CMapFieldReader& reader)
{
    SMapClickPoint p;
    p.lat = reader.nextFloat();
    p.lon = reader.nextFloat();
    p.alt = reader.nextFloat();
    return p;
}

// ------------------------------------------------------------------------------------ route

void CMapEventHandler::onPageLoaded()
{
    const bool firstLoad = !m_pageReady;
    m_pageReady = true;
    // The store is read from the settings once; a later page (the offline one) gets the same
    // placemarks drawn again without them being added to the panel a second time.
    if (!m_placeMarksLoaded)
        loadPlaceMarks();
    for (const std::string& record : m_placeMarks)
        addPlaceMarkToMap(record);
    // A replacement page starts empty with no tool and both toggles off: give it the route and
    // the state the program shows.
    if (firstLoad)
        return;
    if (!m_route.empty())
        redrawRoute();
    if (m_toolCode != kMapToolRestore)
        m_script.setfuncode(m_toolCode);
    if (m_altitudeMode)
        m_script.setplanetrud();
    if (m_routeExtension)
        m_script.setplanetrud3d();
}

void CMapEventHandler::onAppend(std::string_view payload)
{
    for (std::string_view record : splitMapRecords(payload)) {
        CMapFieldReader reader(record);
        CWayPoint wp = CWayPoint::makeNew(m_settings);
        wp.latitude = reader.nextDouble();
        wp.longitude = reader.nextDouble();
        const int alt = reader.nextInt();
        wp.altitude = alt == 0 ? defaultAltitude() : alt;
        wp.pointTag = reader.nextInt();
        m_route.append(wp);
        // The page drew the point with the altitude it sent: show it the one the route holds.
        if (alt == 0)
            showWaypoint(m_route.size() - 1);
    }
    takeSnapshot();
}

void CMapEventHandler::onWaypointMoved(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const double lat = reader.nextDouble();
    const double lon = reader.nextDouble();
    const int tag = reader.nextInt();
    const int index = reader.nextInt();
    if (!m_route.validIndex(index))
        return;
    CWayPoint& wp = m_route[static_cast<size_t>(index)];
    wp.latitude = lat;
    wp.longitude = lon;
    wp.pointTag = tag;
}

void CMapEventHandler::onInsert(std::string_view payload)
{
    for (std::string_view record : splitMapRecords(payload)) {
        CMapFieldReader reader(record);
        const double lat = reader.nextDouble();
        const double lon = reader.nextDouble();
        const int alt = reader.nextInt();
        const int tag = reader.nextInt();
        const int index = reader.nextInt();
        if (index < 0 || index > kMaxInsertIndex)
            continue;
        const size_t at = static_cast<size_t>(index);
        if (at >= m_route.size()) {
            while (m_route.size() < at + 1)
                m_route.append(CWayPoint::makeNew(m_settings));
        } else {
            m_route.insert(at, CWayPoint::makeNew(m_settings));
        }
        CWayPoint& wp = m_route[at];
        wp.latitude = lat;
        wp.longitude = lon;
        wp.altitude = alt == 0 ? defaultAltitude() : alt;
        wp.pointTag = tag;
        if (alt == 0)
            showWaypoint(at);
    }
    takeSnapshot();
}

void CMapEventHandler::showWaypoint(size_t index)
{
    const CWayPoint& wp = m_route[index];
    m_script.updatewaypoint(wp.latitude, wp.longitude, wp.altitude, wp.pointTag, static_cast<int>(index));
}

void CMapEventHandler::takeSnapshot()
{
    m_history.snapshot(m_route);
}

void CMapEventHandler::undo()
{
    if (m_history.undo(m_route))
        redrawRoute();
}

void CMapEventHandler::redo()
{
    if (m_history.redo(m_route))
        redrawRoute();
}

void CMapEventHandler::toggleAltitudeMode()
{
    m_altitudeMode = !m_altitudeMode;
    m_script.setplanetrud();
}

void CMapEventHandler::toggleRouteExtension()
{
    m_routeExtension = !m_routeExtension;
    m_script.setplanetrud3d();
}

void CMapEventHandler::redrawRoute()
{
    m_script.redrawRoute(m_route);
}

void CMapEventHandler::selectTool(int toolCode)
{
    m_toolCode = toolCode;
    m_script.setfuncode(toolCode);
    if (toolCode == kMapToolPlaceMark)
        setToolMode(kToolModePlaceMark);
    else if (toolCode == kMapToolMoveRoute)
        setToolMode(kToolModeMoveRoute);
}

// --------------------------------------------------------------------------- status texts

std::string CMapEventHandler::mouseText(float lat, float lon, float alt)
{
    return strprintf("Mouse [%.5lf, %.5lf, %.5lf]", static_cast<double>(lon), static_cast<double>(lat),
                     static_cast<double>(alt));
}

void CMapEventHandler::onMouse(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const SMapClickPoint p = readPoint(reader);
    m_ui.setStatusText(mouseText(p.lat, p.lon, p.alt));
}

void CMapEventHandler::onMeasureMove(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const SMapClickPoint p1 = readPoint(reader);
    const SMapClickPoint p2 = readPoint(reader);
    const double km = routeDistanceKm(p2.lat, p2.lon, p1.lat, p1.lon);
    m_ui.setStatusText(mouseText(p1.lat, p1.lon, p1.alt) + strprintf("距离 %.3lf 千米", km));
}

void CMapEventHandler::onMeasureDone(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const SMapClickPoint p1 = readPoint(reader);
    const SMapClickPoint p2 = readPoint(reader);
    const double km = routeDistanceKm(p2.lat, p2.lon, p1.lat, p1.lon);
    m_ui.setStatusText(mouseText(p1.lat, p1.lon, p1.alt) + strprintf("Distance %.3lf Km", km));
    m_ui.showMessage(strprintf("Start Point: %.5lf, %.5lf\nEnd   Point: %.5lf, %.5lf\nDistance:  %.3lf Km",
                               static_cast<double>(p1.lon), static_cast<double>(p1.lat),
                               static_cast<double>(p2.lon), static_cast<double>(p2.lat), km));
}

void CMapEventHandler::onPlanMove(std::string_view payload)
{
    if (m_route.empty())
        return;
    CMapFieldReader reader(payload);
    const SMapClickPoint p = readPoint(reader);
    const CWayPoint& last = m_route[m_route.size() - 1];
    const double fromLast = routeDistanceKm(static_cast<float>(last.latitude), static_cast<float>(last.longitude),
                                            p.lat, p.lon);
    const double total = m_route.lengthKm() + fromLast;
    m_ui.setStatusText(mouseText(p.lat, p.lon, p.alt) + " " + strprintf("From Pre Point %.3lf Km", fromLast) + " " +
                       strprintf(",Path Length %.3lfKm", total));
}

// ------------------------------------------------------------------------------ menus

void CMapEventHandler::onWaypointMenu(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const int index = reader.nextInt();
    const int x = reader.nextInt();
    const int y = reader.nextInt();
    if (!m_route.validIndex(index))
        return;
    const EWaypointMenuChoice choice = m_ui.waypointMenu(x, y);
    // The menu runs its own event loop: the route may have changed meanwhile.
    if (!m_route.validIndex(index))
        return;
    switch (choice) {
    case EWaypointMenuChoice::Upload:
        m_ui.uploadWaypoint(index);
        break;
    case EWaypointMenuChoice::Delete:
        m_route.removeAt(static_cast<size_t>(index));
        m_script.delskywaypt(index);
        takeSnapshot();
        break;
    case EWaypointMenuChoice::Edit:
        if (m_ui.editWaypoint(index) && m_route.validIndex(index)) {
            showWaypoint(static_cast<size_t>(index));
            takeSnapshot();
        }
        break;
    case EWaypointMenuChoice::None:
        break;
    }
}

// ------------------------------------------------------------------------- placemarks

std::string CMapEventHandler::placeMarkName(std::string_view record)
{
    const size_t pos = record.find(kNameSeparator);
    if (pos == std::string_view::npos)
        return {};
    return std::string(record.substr(pos + kNameSeparator.size()));
}

std::string CMapEventHandler::cleanName(std::string_view typed)
{
    // A name must not contain the separators of the stored list, or the list could not be read
    // back as it was written.
    std::string name(typed);
    for (std::string_view sep : {kEntrySeparator, kNameSeparator}) {
        size_t pos;
        while ((pos = name.find(sep)) != std::string::npos)
            name.erase(pos, sep.size());
    }
    return name;
}

void CMapEventHandler::loadPlaceMarks()
{
    m_placeMarksLoaded = true;
    m_placeMarks.clear();
    for (std::string& record : parseEntryList(m_settings.getText(keys::kPlaceMark)))
        if (!record.empty())
            m_placeMarks.push_back(std::move(record));
    m_ui.placeMarksChanged();
}

void CMapEventHandler::savePlaceMarks()
{
    m_settings.setText(keys::kPlaceMark, joinEntryList(m_placeMarks));
}

void CMapEventHandler::addPlaceMarkToMap(std::string_view record)
{
    m_script.AddPlaceMaktToMap(fieldAt(record, 0), fieldAt(record, 1), placeMarkName(record));
}

void CMapEventHandler::onPlaceMarkClick(std::string_view payload)
{
    if (!m_placeMarksLoaded)
        loadPlaceMarks();
    setToolMode(kToolModeNameDialog);
    const std::optional<std::string> typed = m_ui.askName(EMapNameDialog::PlaceMark, {});
    if (typed) {
        // The record keeps exactly the seven camera fields that the page sent.
        CMapFieldReader reader(payload);
        std::string record;
        for (int i = 0; i < kPlaceMarkCameraFields; ++i) {
            record += reader.nextField();
            record += ',';
        }
        record += kNameSeparator;
        record += cleanName(*typed);
        m_placeMarks.push_back(record);
        addPlaceMarkToMap(record);
        m_ui.placeMarksChanged();
        m_toolCode = kMapToolRestore;
        m_script.setfuncode(kMapToolRestore);
    }
    setToolMode(0);
    savePlaceMarks();
}

int CMapEventHandler::findPlaceMarkByReportedName(std::string_view reported) const
{
    for (size_t i = 0; i < m_placeMarks.size(); ++i)
        if ("." + placeMarkName(m_placeMarks[i]) == reported)
            return static_cast<int>(i);
    return -1;
}

void CMapEventHandler::onPlaceMarkMenu(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const std::string reported(reader.nextField());
    const int x = reader.nextInt();
    const int y = reader.nextInt();
    const EPlaceMarkMenuChoice choice = m_ui.placeMarkMenu(x, y);
    if (choice == EPlaceMarkMenuChoice::Delete) {
        const int i = findPlaceMarkByReportedName(reported);
        if (i >= 0) {
            m_placeMarks.erase(m_placeMarks.begin() + i);
            m_ui.placeMarksChanged();
        }
        savePlaceMarks();
        m_script.DelPlaceMaktToMap(reported);
    } else if (choice == EPlaceMarkMenuChoice::Edit) {
        const std::string shown = reported.empty() ? std::string() : reported.substr(1);
        const std::optional<std::string> typed = m_ui.askName(EMapNameDialog::PlaceMark, shown);
        if (!typed)
            return;
        const std::string name = cleanName(*typed);
        const int i = findPlaceMarkByReportedName(reported);
        if (i >= 0) {
            std::string& record = m_placeMarks[static_cast<size_t>(i)];
            record = record.substr(0, record.find(kNameSeparator) + kNameSeparator.size()) + name;
            m_ui.placeMarksChanged();
        }
        savePlaceMarks();
        m_script.EditPlaceMaktToMap(reported, name);
    }
}

// --------------------------------------------------------------------- search history

std::string CMapEventHandler::historyName(std::string_view entry)
{
    return fieldAt(entry, 0);
}

bool CMapEventHandler::historyEntryLive(std::string_view entry)
{
    return entry != kDeletedEntry;
}

void CMapEventHandler::loadHistory()
{
    m_addressNames = parseEntryList(m_settings.getText(keys::kAddressName));
    m_ui.historyChanged();
}

void CMapEventHandler::saveHistory()
{
    std::vector<std::string> live;
    for (const std::string& entry : m_addressNames)
        if (historyEntryLive(entry))
            live.push_back(entry);
    m_settings.setText(keys::kAddressName, joinEntryList(live));
}

void CMapEventHandler::onSearchResult(std::string_view payload)
{
    CMapFieldReader reader(payload);
    const std::string name = cleanName(reader.nextField());
    const std::string lat(reader.nextField());
    const std::string lon(reader.nextField());
    for (const std::string& entry : m_addressNames)
        if (historyEntryLive(entry) && historyName(entry) == name)
            return;
    m_addressNames.push_back(name + "," + lat + "," + lon + ",");
    m_ui.historyChanged();
    saveHistory();
}

void CMapEventHandler::search(std::string_view typed)
{
    const std::string text = trimBlanks(typed);
    if (!m_offline) {
        m_script.gotoaddress(text);
        return;
    }
    bool found = false;
    for (const std::string& entry : m_addressNames)
        if (historyEntryLive(entry) && historyName(entry) == text) {
            m_script.gotopoint(fieldAt(entry, 1), fieldAt(entry, 2));
            found = true;
        }
    if (found)
        return;
    if (const auto point = parseLatLon(text)) {
        m_script.gotopoint(strprintf("%f", point->first), strprintf("%f", point->second));
        return;
    }
    m_ui.setStatusText("未找到：" + text);
}

std::optional<std::pair<double, double>> CMapEventHandler::parseLatLon(std::string_view text)
{
    // "lat,lon" with optional blanks around the comma; nothing else may follow.
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto number = [](std::string_view s, double limit) -> std::optional<double> {
        const std::string t = trimBlanks(s);
        if (t.empty())
            return std::nullopt;
        char* end = nullptr;
        const double v = std::strtod(t.c_str(), &end);
        if (end != t.c_str() + t.size() || !std::isfinite(v) || std::fabs(v) > limit)
            return std::nullopt;
        return v;
    };
    const auto lat = number(text.substr(0, comma), 90);
    const auto lon = number(text.substr(comma + 1), 180);
    if (!lat || !lon)
        return std::nullopt;
    return std::make_pair(*lat, *lon);
}

// ----------------------------------------------------------------------- position panel

void CMapEventHandler::activateAircraft()
{
    m_script.setplanetomap();
}

void CMapEventHandler::activateRoute()
{
    if (!m_route.empty())
        m_script.setpttomap(m_route[0].latitude, m_route[0].longitude);
}

void CMapEventHandler::activateDefaultView()
{
    m_script.restoreLookAt(m_settings.getText(keys::kLastMap));
}

void CMapEventHandler::activatePlaceMark(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_placeMarks.size())
        return;
    m_script.restoreLookAt("2001;" + m_placeMarks[static_cast<size_t>(index)]);
}

void CMapEventHandler::activateHistory(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_addressNames.size())
        return;
    const std::string& entry = m_addressNames[static_cast<size_t>(index)];
    if (!historyEntryLive(entry))
        return;
    if (m_offline)
        m_script.gotopoint(fieldAt(entry, 1), fieldAt(entry, 2));
    else
        m_script.gotoaddress(historyName(entry));
}

void CMapEventHandler::deletePlaceMark(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_placeMarks.size())
        return;
    const std::string reported = "." + placeMarkName(m_placeMarks[static_cast<size_t>(index)]);
    m_placeMarks.erase(m_placeMarks.begin() + index);
    m_ui.placeMarksChanged();
    savePlaceMarks();
    m_script.DelPlaceMaktToMap(reported);
}

void CMapEventHandler::deleteHistory(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_addressNames.size())
        return;
    m_addressNames[static_cast<size_t>(index)] = std::string(kDeletedEntry);
    m_ui.historyChanged();
    saveHistory();
}

} // namespace orvex
