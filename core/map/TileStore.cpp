#include "map/TileStore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <sqlite3.h>

namespace orvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxLat = 85.0511287798066;
constexpr int kMaxZoom = 24;

int tmsRow(const STileId& t)
{
    return (1 << t.z) - 1 - t.y;
}

// A prepared statement that finalizes itself.
class CStmt {
public:
    CStmt(sqlite3* db, const char* sql)
    {
        if (db && sqlite3_prepare_v2(db, sql, -1, &m_s, nullptr) != SQLITE_OK)
            m_s = nullptr;
    }
    ~CStmt() { sqlite3_finalize(m_s); }
    explicit operator bool() const { return m_s != nullptr; }
    CStmt& bind(int i, std::int64_t v)
    {
        if (m_s)
            sqlite3_bind_int64(m_s, i, v);
        return *this;
    }
    CStmt& bindText(int i, const std::string& v)
    {
        if (m_s)
            sqlite3_bind_text(m_s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CStmt& bindBlob(int i, const std::string& v)
    {
        if (m_s)
            sqlite3_bind_blob(m_s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CStmt& bindTile(const STileId& t)
    {
        return bind(1, t.z).bind(2, t.x).bind(3, tmsRow(t));
    }
    bool row() { return m_s && sqlite3_step(m_s) == SQLITE_ROW; }
    bool done() { return m_s && sqlite3_step(m_s) == SQLITE_DONE; }
    std::int64_t integer(int col) { return sqlite3_column_int64(m_s, col); }
    double real(int col) { return sqlite3_column_double(m_s, col); }
    std::string blob(int col)
    {
        const void* p = sqlite3_column_blob(m_s, col);
        const int n = sqlite3_column_bytes(m_s, col);
        return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    sqlite3_stmt* m_s = nullptr;
};

// A file shorter than its header says is truncated (SQLite would only notice on the missing pages).
bool headerSaysTruncated(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char h[100] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < 100 || std::string(reinterpret_cast<char*>(h), 16) != std::string("SQLite format 3\0", 16)) {
        error = "不是 SQLite 数据库";
        return true;
    }
    std::uint64_t pageSize = (std::uint64_t(h[16]) << 8) | h[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) {
        error = "不是 SQLite 数据库";
        return true;
    }
    const std::uint64_t pages = (std::uint64_t(h[28]) << 24) | (std::uint64_t(h[29]) << 16) |
                                (std::uint64_t(h[30]) << 8) | h[31];
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    if (ec || size % pageSize != 0 || (pages != 0 && size < pages * pageSize)) {
        error = "文件不完整";
        return true;
    }
    return false;
}

} // namespace

// ------------------------------------------------------------------------------ tile arithmetic

bool validTileId(const STileId& t)
{
    return t.z >= 0 && t.z <= kMaxZoom && t.x >= 0 && t.y >= 0 && t.x < (1 << t.z) && t.y < (1 << t.z);
}

int tileXAt(double lon, int z)
{
    const int n = 1 << z;
    const int x = static_cast<int>(std::floor((lon + 180.0) / 360.0 * n));
    return std::clamp(x, 0, n - 1);
}

int tileYAt(double lat, int z)
{
    const int n = 1 << z;
    const double r = std::clamp(lat, -kMaxLat, kMaxLat) * kPi / 180.0;
    const int y = static_cast<int>(std::floor((1.0 - std::log(std::tan(r) + 1.0 / std::cos(r)) / kPi) / 2.0 * n));
    return std::clamp(y, 0, n - 1);
}

void tileBounds(const STileId& t, double& west, double& south, double& east, double& north)
{
    const double n = double(1 << t.z);
    auto lat = [n](double y) { return std::atan(std::sinh(kPi * (1.0 - 2.0 * y / n))) * 180.0 / kPi; };
    west = t.x / n * 360.0 - 180.0;
    east = (t.x + 1) / n * 360.0 - 180.0;
    north = lat(t.y);
    south = lat(t.y + 1);
}

std::vector<STileId> tilesInBox(double south, double west, double north, double east, int minZoom, int maxZoom)
{
    std::vector<STileId> out;
    minZoom = std::max(minZoom, 0);
    maxZoom = std::min(maxZoom, kMaxZoom);
    for (int z = minZoom; z <= maxZoom; ++z) {
        const int x0 = tileXAt(std::min(west, east), z), x1 = tileXAt(std::max(west, east), z);
        const int y0 = tileYAt(std::max(south, north), z), y1 = tileYAt(std::min(south, north), z);
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                out.push_back({z, x, y});
    }
    return out;
}

std::string tileFormatOf(const std::string& d)
{
    if (d.size() >= 8 && d.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
        return "png";
    if (d.size() >= 3 && d.compare(0, 3, "\xff\xd8\xff") == 0)
        return "jpg";
    if (d.size() >= 12 && d.compare(0, 4, "RIFF") == 0 && d.compare(8, 4, "WEBP") == 0)
        return "webp";
    return {};
}

// ------------------------------------------------------------------------------ CMbTiles

CMbTiles::~CMbTiles()
{
    sqlite3_close_v2(m_db);
}

bool CMbTiles::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::unique_ptr<CMbTiles> CMbTiles::openReadOnly(const std::string& path, std::string& error)
{
    if (headerSaysTruncated(path, error))
        return nullptr;
    std::unique_ptr<CMbTiles> f(new CMbTiles);
    f->m_path = path;
    if (sqlite3_open_v2(path.c_str(), &f->m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = f->m_db ? sqlite3_errmsg(f->m_db) : "无法打开";
        return nullptr;
    }
    // A file from elsewhere runs none of its own code (views, triggers with functions).
    sqlite3_db_config(f->m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    f->exec("PRAGMA trusted_schema=OFF");
    CStmt probe(f->m_db, "SELECT tile_data FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?");
    CStmt meta(f->m_db, "SELECT value FROM metadata WHERE name='format'");
    if (!probe || !meta) {
        error = sqlite3_errmsg(f->m_db);
        return nullptr;
    }
    return f;
}

std::unique_ptr<CMbTiles> CMbTiles::openWritable(const std::string& path, const std::string& name, std::string& error)
{
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    if (existed && headerSaysTruncated(path, error))
        return nullptr;
    std::unique_ptr<CMbTiles> f(new CMbTiles);
    f->m_path = path;
    f->m_writable = true;
    if (sqlite3_open_v2(path.c_str(), &f->m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = f->m_db ? sqlite3_errmsg(f->m_db) : "无法打开";
        return nullptr;
    }
    sqlite3_db_config(f->m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(f->m_db, 2000);
    const bool ok = f->exec("PRAGMA trusted_schema=OFF") &&
                    f->exec("CREATE TABLE IF NOT EXISTS metadata (name TEXT, value TEXT);"
                            "CREATE UNIQUE INDEX IF NOT EXISTS metadata_name ON metadata (name);"
                            "CREATE TABLE IF NOT EXISTS tiles (zoom_level INTEGER, tile_column INTEGER,"
                            " tile_row INTEGER, tile_data BLOB);"
                            "CREATE UNIQUE INDEX IF NOT EXISTS tile_index ON tiles (zoom_level, tile_column, tile_row);"
                            "CREATE TABLE IF NOT EXISTS orvex_tile_use (zoom_level INTEGER, tile_column INTEGER,"
                            " tile_row INTEGER, used INTEGER, expires INTEGER,"
                            " PRIMARY KEY (zoom_level, tile_column, tile_row)) WITHOUT ROWID;"
                            "CREATE INDEX IF NOT EXISTS orvex_tile_use_order ON orvex_tile_use (used);");
    if (!ok) {
        error = sqlite3_errmsg(f->m_db);
        return nullptr;
    }
    if (!existed || f->metadata("name").empty()) {
        f->setMetadata("name", name);
        f->setMetadata("type", "baselayer");
        f->setMetadata("version", "1");
    }
    CStmt bytes(f->m_db, "SELECT COALESCE(SUM(LENGTH(tile_data)),0) FROM tiles");
    if (bytes.row())
        f->m_tileBytes = bytes.integer(0);
    CStmt used(f->m_db, "SELECT COALESCE(MAX(used),0) FROM orvex_tile_use");
    if (used.row())
        f->m_useCounter = used.integer(0);
    return f;
}

std::optional<std::string> CMbTiles::tile(const STileId& t)
{
    if (!validTileId(t))
        return std::nullopt;
    CStmt s(m_db, "SELECT tile_data FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?");
    s.bindTile(t);
    if (!s.row())
        return std::nullopt;
    std::string data = s.blob(0);
    if (m_writable)
        touch(t);
    return data;
}

bool CMbTiles::has(const STileId& t)
{
    if (!validTileId(t))
        return false;
    CStmt s(m_db, "SELECT 1 FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?");
    s.bindTile(t);
    return s.row();
}

std::int64_t CMbTiles::expires(const STileId& t)
{
    if (!m_writable)
        return 0;
    CStmt s(m_db, "SELECT expires FROM orvex_tile_use WHERE zoom_level=? AND tile_column=? AND tile_row=?");
    s.bindTile(t);
    return s.row() ? s.integer(0) : 0;
}

void CMbTiles::touch(const STileId& t)
{
    if (!m_writable)
        return;
    CStmt s(m_db, "UPDATE orvex_tile_use SET used=? WHERE zoom_level=? AND tile_column=? AND tile_row=?");
    s.bind(1, ++m_useCounter).bind(2, t.z).bind(3, t.x).bind(4, tmsRow(t));
    s.done();
}

bool CMbTiles::put(const STileId& t, const std::string& data, std::int64_t expires)
{
    if (!m_writable || !validTileId(t))
        return false;
    std::int64_t old = 0;
    {
        CStmt s(m_db, "SELECT LENGTH(tile_data) FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?");
        s.bindTile(t);
        if (s.row())
            old = s.integer(0);
    }
    exec("BEGIN");
    CStmt s(m_db, "INSERT OR REPLACE INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?,?,?,?)");
    s.bindTile(t).bindBlob(4, data);
    CStmt u(m_db, "INSERT OR REPLACE INTO orvex_tile_use (zoom_level, tile_column, tile_row, used, expires)"
                  " VALUES (?,?,?,?,?)");
    u.bindTile(t).bind(4, ++m_useCounter).bind(5, expires);
    if (!s.done() || !u.done()) {
        exec("ROLLBACK");
        return false;
    }
    if (!exec("COMMIT"))
        return false;
    m_tileBytes += static_cast<std::int64_t>(data.size()) - old;
    return true;
}

std::vector<STileId> CMbTiles::list()
{
    std::vector<STileId> out;
    CStmt s(m_db, "SELECT zoom_level, tile_column, tile_row FROM tiles ORDER BY zoom_level, tile_column, tile_row");
    while (s.row()) {
        const std::int64_t z = s.integer(0), x = s.integer(1), row = s.integer(2);
        if (z < 0 || z > kMaxZoom || x < 0 || row < 0 || x >= (1LL << z) || row >= (1LL << z))
            continue;
        out.push_back({static_cast<int>(z), static_cast<int>(x), static_cast<int>((1LL << z) - 1 - row)});
    }
    return out;
}

void CMbTiles::evictTo(std::int64_t maxBytes)
{
    if (!m_writable || m_tileBytes <= maxBytes)
        return;
    // Tiles without a use record (put there by another tool) count as the oldest.
    CStmt s(m_db, "SELECT t.zoom_level, t.tile_column, t.tile_row, LENGTH(t.tile_data) FROM tiles t"
                  " LEFT JOIN orvex_tile_use u ON u.zoom_level=t.zoom_level AND u.tile_column=t.tile_column"
                  " AND u.tile_row=t.tile_row ORDER BY COALESCE(u.used, 0)");
    std::vector<std::array<std::int64_t, 3>> drop;
    std::int64_t bytes = m_tileBytes;
    while (bytes > maxBytes && s.row()) {
        drop.push_back({s.integer(0), s.integer(1), s.integer(2)});
        bytes -= s.integer(3);
    }
    exec("BEGIN");
    for (const auto& d : drop) {
        for (const char* sql : {"DELETE FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?",
                                "DELETE FROM orvex_tile_use WHERE zoom_level=? AND tile_column=? AND tile_row=?"}) {
            CStmt del(m_db, sql);
            del.bind(1, d[0]).bind(2, d[1]).bind(3, d[2]).done();
        }
    }
    if (exec("COMMIT"))
        m_tileBytes = bytes;
}

std::string CMbTiles::metadata(const std::string& name)
{
    CStmt s(m_db, "SELECT value FROM metadata WHERE name=?");
    s.bindText(1, name);
    return s.row() ? s.blob(0) : std::string();
}

void CMbTiles::setMetadata(const std::string& name, const std::string& value)
{
    CStmt s(m_db, "INSERT OR REPLACE INTO metadata (name, value) VALUES (?,?)");
    s.bindText(1, name).bindText(2, value).done();
}

void CMbTiles::refreshMetadata()
{
    if (!m_writable)
        return;
    CStmt z(m_db, "SELECT MIN(zoom_level), MAX(zoom_level), COUNT(*) FROM tiles");
    if (!z.row() || z.integer(2) == 0)
        return;
    if (z.integer(0) < 0 || z.integer(1) > kMaxZoom)
        return;
    const int minZoom = static_cast<int>(z.integer(0)), maxZoom = static_cast<int>(z.integer(1));
    setMetadata("minzoom", std::to_string(minZoom));
    setMetadata("maxzoom", std::to_string(maxZoom));
    // Bounds from the tiles of the deepest level (the most exact).
    CStmt b(m_db, "SELECT MIN(tile_column), MAX(tile_column), MIN(tile_row), MAX(tile_row) FROM tiles WHERE zoom_level=?");
    b.bind(1, maxZoom);
    const std::int64_t n = 1LL << maxZoom;
    if (b.row() && b.integer(0) >= 0 && b.integer(1) < n && b.integer(2) >= 0 && b.integer(3) < n) {
        double w, s, e, nn, w2, s2, e2, n2;
        tileBounds({maxZoom, static_cast<int>(b.integer(0)), static_cast<int>(n - 1 - b.integer(3))}, w, s, e, nn);
        tileBounds({maxZoom, static_cast<int>(b.integer(1)), static_cast<int>(n - 1 - b.integer(2))}, w2, s2, e2, n2);
        char text[128];
        std::snprintf(text, sizeof text, "%.6f,%.6f,%.6f,%.6f", w, s2, e2, nn);
        setMetadata("bounds", text);
    }
    CStmt f(m_db, "SELECT tile_data FROM tiles LIMIT 1");
    if (f.row()) {
        const std::string format = tileFormatOf(f.blob(0));
        if (!format.empty())
            setMetadata("format", format);
    }
}

SMbTilesInfo CMbTiles::info()
{
    SMbTilesInfo r;
    CStmt s(m_db, "SELECT zoom_level, COUNT(*) FROM tiles GROUP BY zoom_level ORDER BY zoom_level");
    while (s.row()) {
        r.perZoom[static_cast<int>(s.integer(0))] = s.integer(1);
        r.tiles += s.integer(1);
    }
    r.format = metadata("format");
    const std::string bounds = metadata("bounds");
    if (std::sscanf(bounds.c_str(), "%lf , %lf , %lf , %lf", &r.west, &r.south, &r.east, &r.north) == 4)
        r.hasBounds = true;
    return r;
}

// ------------------------------------------------------------------------------ CTileStore

CTileStore::CTileStore(const std::string& mapsDir, std::int64_t cacheBytes) : m_cacheBytes(cacheBytes)
{
    std::error_code ec;
    std::filesystem::create_directories(mapsDir, ec);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(mapsDir, ec)) {
        const std::string name = e.path().filename().string();
        if (name != kCacheName && e.path().extension() == ".mbtiles")
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const std::string& path : files) {
        std::string error;
        if (auto f = CMbTiles::openReadOnly(path, error))
            m_layers.push_back(std::move(f));
        else
            m_messages.push_back("离线地图文件无法读取，已跳过：" + path + "（" + error + "）");
    }
    std::string error;
    const std::string cachePath = mapsDir + kCacheName;
    m_cache = CMbTiles::openWritable(cachePath, "Orvex tile cache", error);
    if (!m_cache)
        m_messages.push_back("地图缓存无法使用：" + cachePath + "（" + error + "）");
}

CTileStore::~CTileStore()
{
    if (m_cache)
        m_cache->refreshMetadata();
}

std::optional<std::string> CTileStore::tile(const STileId& t, bool* fromCache, std::int64_t* expires)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (fromCache)
        *fromCache = false;
    if (expires)
        *expires = 0;
    for (auto& f : m_layers)
        if (auto data = f->tile(t))
            return data;
    if (!m_cache)
        return std::nullopt;
    auto data = m_cache->tile(t);
    if (data) {
        if (fromCache)
            *fromCache = true;
        if (expires)
            *expires = m_cache->expires(t);
    }
    return data;
}

bool CTileStore::has(const STileId& t)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& f : m_layers)
        if (f->has(t))
            return true;
    return m_cache && m_cache->has(t);
}

bool CTileStore::store(const STileId& t, const std::string& data, std::int64_t expires)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_cache || !m_cache->put(t, data, expires))
        return false;
    // Over the cap, a tenth more goes at once, so that the eviction (a sort of the whole cache)
    // runs once in many tiles.
    if (m_cache->tileBytes() > m_cacheBytes)
        m_cache->evictTo(m_cacheBytes - m_cacheBytes / 10);
    return true;
}

} // namespace orvex
