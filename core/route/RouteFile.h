#pragma once
// Route files (".skw", ".rw"): one waypoint per line, numbers separated by white space, no header.
//
// Writing always uses seven numbers per line, "%lf %lf %d %d %d %d %d" ended by CR LF:
// longitude, latitude (six decimals), altitude, photo mode, circle flag, circle time, point tag.
// Reading picks the form by the route's format tag: exactly "skw" reads seven numbers a record,
// anything else (".rw", also "SKW") six, without the point tag. Line ends carry no meaning (a
// record may span lines). Reading stops silently at the first record that does not convert
// completely; the records before it stay. Numbers always use a point as decimal separator,
// whatever the locale of the process.

#include <string>
#include <string_view>

#include "route/SkyWay.h"

namespace orvex {

inline constexpr const char* kRouteLoadFailedText = "加载数据失败";
inline constexpr const char* kRouteSaveFailedText = "Save Data Fault";
// File dialog filters and default extension of the load and save commands.
inline constexpr const char* kRouteLoadFilter = "航迹文件1(*.skw)|*.skw|航迹文件2(*.rw)|*.rw||";
inline constexpr const char* kRouteSaveFilter = "Path File(*.skw)|*.skw||";
inline constexpr const char* kRouteDefaultExtension = "skw";

// Files larger than this are refused as unreadable (a route of a million waypoints is ~50 MB).
inline constexpr size_t kMaxRouteFileBytes = 64u * 1024u * 1024u;

// The format tag of a path: its extension without the dot ("a/b.rw" -> "rw"; "" when none).
std::string routeFormatTagOf(std::string_view path);

// Appends the records of `text` to `route` as its format tag says; every record starts from a
// new waypoint made with `defaults` and carries the tag as its label. Returns the number of
// waypoints appended. Non-finite numbers ("nan", "inf") end the reading like any bad record.
size_t parseRouteText(std::string_view text, CSkyWay& route, const CWayPointDefaults& defaults);

// The route file read: false only when the file cannot be opened (or is beyond
// kMaxRouteFileBytes); otherwise every complete record is appended and the result is true.
bool readRouteFile(const std::string& path, CSkyWay& route, const CWayPointDefaults& defaults);

// The file text of a route (seven numbers a line, CR LF).
std::string routeFileText(const CSkyWay& route);
// One line without its line end, e.g. "116.397128 39.916527 500 100 0 100 0".
std::string routeFileLine(const CWayPoint& point);

// The route file write: false when the file cannot be written. The file is replaced atomically
// where the directory allows it, so a failed save never leaves half a route behind.
bool writeRouteFile(const std::string& path, const CSkyWay& route);

// The load command's core: a fresh route tagged with the path's extension is read; on success it
// replaces the waypoints of `current` (which keeps its own tag) and true is returned; on failure
// `current` is untouched and the caller shows kRouteLoadFailedText.
bool loadRouteInto(const std::string& path, CSkyWay& current, const CWayPointDefaults& defaults);

} // namespace orvex
