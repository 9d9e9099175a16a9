#include <gtest/gtest.h>

#include "support/OrvexRun.h"
#include "support/TempDir.h"
#include "support/TileServer.h"

namespace {

// A folder of zoom-1 tiles, each file its own bytes.
void writeTiles(const CTempDir& dir)
{
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 2; ++y) {
            std::filesystem::create_directories(dir.file("src/1/" + std::to_string(x)));
            CTempDir::write(dir.file("src/1/" + std::to_string(x) + "/" + std::to_string(y) + ".png"),
                            std::string("\x89PNG\r\n\x1a\n", 8) + std::to_string(x * 10 + y));
        }
}

std::string sqlite(const std::string& file, const std::string& sql)
{
    const std::string out = file + ".sql.txt";
    std::system(("sqlite3 " + shellQuote(file) + " " + shellQuote(sql) + " > " + shellQuote(out)).c_str());
    return readWholeFile(out);
}

} // namespace

TEST(TilesCommand, ImportInfoExportRoundTrip)
{
    CTempDir dir;
    writeTiles(dir);
    const std::string file = dir.file("area.mbtiles");
    ASSERT_EQ(runOrvex("tiles import " + dir.file("src") + " " + file, dir.dir()).status, 0);
    const SOrvexRun info = runOrvex("tiles info " + file, dir.dir());
    EXPECT_EQ(info.out, R"({"tiles":4,"perZoom":{"1":4},"bounds":[-180,-85.051129,180,85.051129],"bytes":28672,)"
                        R"("format":"png"})" "\n");
    // The file takes its name from the folder (the row order is the tile store's, tested in the core).
    EXPECT_EQ(sqlite(file, "SELECT value FROM metadata WHERE name='name'"), "src\n");
    ASSERT_EQ(runOrvex("tiles export " + file + " " + dir.file("out"), dir.dir()).status, 0);
    for (const char* t : {"1/0/0.png", "1/0/1.png", "1/1/0.png", "1/1/1.png"})
        EXPECT_EQ(readWholeFile(dir.file(std::string("out/") + t)), readWholeFile(dir.file(std::string("src/") + t)))
            << t;
}

TEST(TilesCommand, FetchStopsAndResumesFetchingEachTileOnce)
{
    CTempDir dir;
    writeTiles(dir);
    CTileServer server(dir.file("src"));
    ASSERT_NE(server.port(), 0);
    const std::string fetch = "tiles fetch --bbox -80,-170,80,170 --zoom 1-1 --url " + server.url() + " -o " +
                              dir.file("got.mbtiles");
    EXPECT_NE(runOrvex(fetch + " --max 2", dir.dir()).out.find(R"("fetched":2,"skipped":0)"), std::string::npos);
    EXPECT_NE(runOrvex(fetch, dir.dir()).out.find(R"("fetched":2,"skipped":2,"failed":0)"), std::string::npos);
    const std::string log = server.log();
    for (const char* t : {"/1/0/0.png", "/1/0/1.png", "/1/1/0.png", "/1/1/1.png"}) {
        const std::size_t at = log.find(std::string(t) + " Orvex-GCS/");
        EXPECT_NE(at, std::string::npos) << t << "\n" << log;
        EXPECT_EQ(log.find(t, at + 1), std::string::npos) << t << " fetched twice";
    }
    EXPECT_EQ(sqlite(dir.file("got.mbtiles"), "SELECT COUNT(*) FROM tiles"), "4\n");
}

TEST(TilesCommand, FetchRefusesSourcesItMayNotOrCannotUse)
{
    CTempDir dir;
    struct { const char* url; const char* says; } cases[] = {
        {"https://example.org/{z}/{x}/{y}.png", "no TLS"},
        {"http://tile.openstreetmap.org/{z}/{x}/{y}.png", "forbids bulk download"},
    };
    for (const auto& c : cases) {
        const SOrvexRun r = runOrvex(std::string("tiles fetch --bbox 0,0,1,1 --zoom 1-1 --url ") + c.url + " -o " +
                                         dir.file("x.mbtiles"),
                                     dir.dir());
        EXPECT_EQ(r.status, 1) << c.url;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}
