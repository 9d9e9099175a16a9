#include <gtest/gtest.h>

#include <sqlite3.h>

#include "map/TileStore.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

// The value of the first column of the first row of `sql`, as text.
std::string query(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string out;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW &&
        sqlite3_column_text(s, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

} // namespace

TEST(TileStore, TilesAreStoredInTmsRowOrderWithTheirMetadata)
{
    CTempDir dir;
    {
        CTileStore store(dir.file("maps/"));
        ASSERT_TRUE(store.store({3, 5, 1}, kPng));
        ASSERT_TRUE(store.store({3, 6, 2}, kPng));
        EXPECT_EQ(store.tile({3, 5, 1}), kPng);
        EXPECT_FALSE(store.has({3, 5, 6})); // the row as stored is not the map's y
    }
    const std::string cache = dir.file("maps/cache.mbtiles");
    EXPECT_EQ(query(cache, "SELECT tile_row FROM tiles WHERE tile_column=5"), "6"); // 2^3 - 1 - 1
    struct { const char* name; const char* value; } meta[] = {
        {"format", "png"}, {"minzoom", "3"}, {"maxzoom", "3"},
        {"bounds", "45.000000,40.979898,135.000000,79.171335"}, {"name", "Orvex tile cache"}};
    for (const auto& m : meta)
        EXPECT_EQ(query(cache, std::string("SELECT value FROM metadata WHERE name='") + m.name + "'"), m.value)
            << m.name;
}

TEST(TileStore, TheCacheDropsTheLeastRecentlyUsedTilesAboveItsCap)
{
    CTempDir dir;
    const std::string tile(100, 'x');
    CTileStore store(dir.file("maps/"), 330); // over it, down to 297
    for (int x = 0; x < 3; ++x)
        store.store({2, x, 0}, tile);
    store.tile({2, 0, 0}); // used again: now the newest
    store.store({2, 3, 0}, tile);
    struct { int x; bool kept; } cases[] = {{0, true}, {1, false}, {2, false}, {3, true}};
    for (const auto& c : cases)
        EXPECT_EQ(store.has({2, c.x, 0}), c.kept) << c.x;
    EXPECT_EQ(store.cache()->tileBytes(), 200);
}

TEST(TileStore, OperatorFilesComeFirstAndABadFileIsSkippedWithOneMessage)
{
    CTempDir dir;
    std::filesystem::create_directories(dir.file("maps"));
    {
        std::string error;
        auto own = CMbTiles::openWritable(dir.file("maps/area.mbtiles"), "area", error);
        ASSERT_TRUE(own) << error;
        own->put({1, 1, 1}, "operator");
    }
    const std::string full = CTempDir::read(dir.file("maps/area.mbtiles"));
    struct { const char* name; std::string bytes; } bad[] = {
        {"b-text.mbtiles", "not a database at all"},
        {"c-truncated.mbtiles", full.substr(0, full.size() - 1000)},
        {"d-empty.mbtiles", ""},
    };
    for (const auto& b : bad)
        CTempDir::write(dir.file("maps/") + b.name, b.bytes);
    CTileStore store(dir.file("maps/"));
    ASSERT_EQ(store.messages().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NE(store.messages()[i].find(bad[i].name), std::string::npos) << store.messages()[i];
    store.store({1, 1, 1}, "cache");
    bool fromCache = true;
    EXPECT_EQ(store.tile({1, 1, 1}, &fromCache), "operator");
    EXPECT_FALSE(fromCache);
    EXPECT_FALSE(store.store({1, 2, 0}, "outside the map"));
}

TEST(TileStore, TileArithmetic)
{
    struct { double lat, lon; int z, x, y; } cases[] = {
        {0.1, 0.1, 1, 1, 0}, {-0.1, -0.1, 1, 0, 1}, {22.62, 113.85, 16, 53493, 28538}, {89.9, 179.99, 2, 3, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(tileXAt(c.lon, c.z), c.x) << c.lat << "," << c.lon;
        EXPECT_EQ(tileYAt(c.lat, c.z), c.y) << c.lat << "," << c.lon;
    }
    EXPECT_EQ(tilesInBox(-1, -1, 1, 1, 0, 2).size(), 1u + 4u + 4u);
}
