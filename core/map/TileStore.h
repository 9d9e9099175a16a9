#pragma once
// The map's tile store: MBTiles files (SQLite databases with a `metadata` table and a `tiles`
// table whose rows count from the south, TMS order: tile_row = 2^z - 1 - y).
//
//  - CMbTiles: one file. Opened read-only (the operator's own files) or read-write (the cache).
//    Tiles are addressed here as the map addresses them (z, x, y with y counted from the north);
//    the row flip happens inside. A read-write file keeps a table of its own beside `tiles`,
//    `orvex_tile_use` (when each tile was last used, until when its source lets it be reused),
//    which other tools ignore; the file stays an ordinary MBTiles file for them.
//  - CTileStore: the folder "maps/" of the home directory. Every "*.mbtiles" in it except
//    "cache.mbtiles" is a read-only layer, asked first (in name order); "cache.mbtiles" is the
//    cache, where fetched tiles go, limited to a number of bytes with the least recently used
//    tiles dropped first. A file that cannot be read (not a database, truncated, no tiles table)
//    is skipped with one message; the others keep working.
//
// Files are untrusted input: every SQLite failure is a missing tile, never a crash.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Settings.h"

struct sqlite3;

namespace orvex {

namespace keys {
// The cap of the tile cache "maps/cache.mbtiles", in MiB.
inline constexpr SettingKey kMapCacheMegabytes{"Map", "CacheMegabytes", "2048"};
} // namespace keys

struct STileId {
    int z = 0;
    int x = 0;
    int y = 0; // counted from the north (as the map pages count)
    bool operator<(const STileId& o) const { return z != o.z ? z < o.z : x != o.x ? x < o.x : y < o.y; }
    bool operator==(const STileId& o) const { return z == o.z && x == o.x && y == o.y; }
};

// Tiles covering a box (degrees) at zoom levels minZoom..maxZoom, in zoom, x, y order.
std::vector<STileId> tilesInBox(double south, double west, double north, double east, int minZoom, int maxZoom);
// Tile x (or y) at a longitude (or latitude) and zoom, clamped to the map.
int tileXAt(double lon, int z);
int tileYAt(double lat, int z);
// The box of one tile: west, south, east, north in degrees.
void tileBounds(const STileId& t, double& west, double& south, double& east, double& north);
// "png", "jpg", "webp" from the first bytes of a picture, or "" when unknown.
std::string tileFormatOf(const std::string& data);
bool validTileId(const STileId& t);

struct SMbTilesInfo {
    std::int64_t tiles = 0;
    std::map<int, std::int64_t> perZoom;
    bool hasBounds = false;
    double west = 0, south = 0, east = 0, north = 0;
    std::string format;
};

class CMbTiles {
public:
    ~CMbTiles();
    CMbTiles(const CMbTiles&) = delete;
    CMbTiles& operator=(const CMbTiles&) = delete;

    // Opens an existing file for reading; null with `error` set when it is not a readable
    // MBTiles file.
    static std::unique_ptr<CMbTiles> openReadOnly(const std::string& path, std::string& error);
    // Opens or creates a file for writing (created with the tables and `name` in metadata).
    static std::unique_ptr<CMbTiles> openWritable(const std::string& path, const std::string& name,
                                                  std::string& error);

    const std::string& path() const { return m_path; }
    bool writable() const { return m_writable; }

    std::optional<std::string> tile(const STileId& t);
    bool has(const STileId& t);
    // Seconds since the epoch until which the stored tile may be reused (0: no limit known).
    std::int64_t expires(const STileId& t);
    // Stores (or replaces) a tile; `expires` as above. False on a read-only file or a failure.
    bool put(const STileId& t, const std::string& data, std::int64_t expires = 0);
    // Marks a tile as just used (read-write files; reads of tile() do this too).
    void touch(const STileId& t);
    std::vector<STileId> list();
    // Drops least recently used tiles until the tiles' bytes are at most `maxBytes`.
    void evictTo(std::int64_t maxBytes);
    std::int64_t tileBytes() const { return m_tileBytes; }

    std::string metadata(const std::string& name);
    void setMetadata(const std::string& name, const std::string& value);
    // Writes format, bounds, minzoom and maxzoom from the tiles that are stored.
    void refreshMetadata();
    SMbTilesInfo info();

private:
    CMbTiles() = default;
    bool exec(const char* sql);

    sqlite3* m_db = nullptr;
    std::string m_path;
    bool m_writable = false;
    std::int64_t m_tileBytes = 0;
    std::int64_t m_useCounter = 0;
};

class CTileStore {
public:
    static constexpr std::int64_t kDefaultCacheBytes = 2048LL * 1024 * 1024;
    static constexpr const char* kCacheName = "cache.mbtiles";

    // `mapsDir` ends in "/" and is created when missing; `cacheBytes` the cache's cap.
    CTileStore(const std::string& mapsDir, std::int64_t cacheBytes = kDefaultCacheBytes);
    // Writes the cache's metadata (bounds, zoom levels, format) from what it holds.
    ~CTileStore();

    // One line per file that was skipped or could not be opened.
    const std::vector<std::string>& messages() const { return m_messages; }
    std::size_t layerCount() const { return m_layers.size(); }
    bool hasCache() const { return m_cache != nullptr; }

    // The tile from the first file that has it. `fromCache` tells where it came from and
    // `expires` the cache's reuse limit (0 for the operator's files).
    std::optional<std::string> tile(const STileId& t, bool* fromCache = nullptr, std::int64_t* expires = nullptr);
    bool has(const STileId& t);
    // Puts a fetched tile into the cache and keeps the cache under its cap (above the cap the
    // least recently used tiles go until the cache is a tenth below it).
    bool store(const STileId& t, const std::string& data, std::int64_t expires = 0);
    CMbTiles* cache() { return m_cache.get(); }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<CMbTiles>> m_layers;
    std::unique_ptr<CMbTiles> m_cache;
    std::int64_t m_cacheBytes;
    std::vector<std::string> m_messages;
};

} // namespace orvex
