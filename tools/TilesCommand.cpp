// orvex tiles: the map's MBTiles files outside the ground station.
//   info FILE                 one JSON object: tiles, perZoom, bounds, bytes, format
//   import DIR OUT.mbtiles    a {z}/{x}/{y}.png folder into a file (added to OUT when it exists)
//   export FILE DIR           the other way round
//   fetch --bbox S,W,N,E --zoom A-B --url TEMPLATE -o FILE [--max N]
//                             downloads an area from a tile server that allows bulk download,
//                             at most two requests at a time; tiles already in FILE are skipped,
//                             so a stopped download resumes where it was. --max N stops after N
//                             new tiles (a large area spread over several runs).
// fetch speaks plain HTTP only (no TLS library in the program): an https:// source is refused
// with a message; put a local tile server or an http:// mirror in front of it.

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "JsonWriter.h"
#include "OrvexVersion.h"
#include "ToolCommand.h"
#include "map/TileStore.h"

namespace fs = std::filesystem;
using namespace orvex;

namespace {

constexpr std::size_t kMaxTileBytes = 16u * 1024 * 1024;

std::string userAgent()
{
    return std::string("Orvex-GCS/") + kVersion + " (orvex tiles fetch)";
}

// ---- a small HTTP/1.1 client for one GET ----------------------------------------------------

struct SUrl {
    std::string host, port = "80", path = "/";
};

bool parseHttpUrl(const std::string& url, SUrl& out)
{
    if (url.rfind("http://", 0) != 0)
        return false;
    const std::string rest = url.substr(7);
    const std::size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    if (slash != std::string::npos)
        out.path = rest.substr(slash);
    const std::size_t colon = hostPort.rfind(':');
    if (colon != std::string::npos && hostPort.find(']') == std::string::npos) {
        out.port = hostPort.substr(colon + 1);
        hostPort.resize(colon);
    }
    out.host = hostPort;
    return !out.host.empty() && !out.port.empty();
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The body of a 200 answer, or nullopt (with `error`) for anything else.
std::optional<std::string> httpGet(const std::string& url, std::string& error)
{
    SUrl u;
    if (!parseHttpUrl(url, u)) {
        error = "not an http:// address: " + url;
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(u.host.c_str(), u.port.c_str(), &hints, &res) != 0 || !res) {
        error = "cannot resolve " + u.host;
        return std::nullopt;
    }
    int fd = -1;
    for (addrinfo* a = res; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0)
            continue;
        timeval tv{20, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(res);
    if (fd < 0) {
        error = "cannot connect to " + u.host + ":" + u.port;
        return std::nullopt;
    }
    const std::string request = "GET " + u.path + " HTTP/1.1\r\nHost: " + u.host +
                                (u.port == "80" ? "" : ":" + u.port) + "\r\nUser-Agent: " + userAgent() +
                                "\r\nAccept: image/*\r\nConnection: close\r\n\r\n";
    bool sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::string answer;
    char buf[16384];
    ssize_t n = 0;
    while (sent && (n = ::recv(fd, buf, sizeof buf, 0)) > 0 && answer.size() < kMaxTileBytes)
        answer.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    const std::size_t headEnd = answer.find("\r\n\r\n");
    if (!sent || headEnd == std::string::npos) {
        error = "no answer from " + u.host;
        return std::nullopt;
    }
    const std::string head = lower(answer.substr(0, headEnd));
    std::string body = answer.substr(headEnd + 4);
    const int status = head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
    if (status != 200) {
        error = "HTTP " + std::to_string(status) + " for " + url;
        return std::nullopt;
    }
    if (head.find("\r\ntransfer-encoding: chunked") != std::string::npos) {
        std::string plain;
        std::size_t pos = 0;
        while (pos < body.size()) {
            const std::size_t eol = body.find("\r\n", pos);
            if (eol == std::string::npos)
                break;
            const std::size_t len = std::strtoul(body.c_str() + pos, nullptr, 16);
            if (len == 0 || eol + 2 + len > body.size())
                break;
            plain += body.substr(eol + 2, len);
            pos = eol + 2 + len + 2;
        }
        body = plain;
    }
    const std::size_t cl = head.find("\r\ncontent-length:");
    if (cl != std::string::npos && std::strtoull(head.c_str() + cl + 17, nullptr, 10) != body.size()) {
        error = "incomplete answer for " + url;
        return std::nullopt;
    }
    return body;
}

std::string fillTemplate(std::string t, const STileId& id)
{
    for (const auto& [key, value] : {std::pair<std::string, int>{"{z}", id.z}, {"{x}", id.x}, {"{y}", id.y}}) {
        for (std::size_t p; (p = t.find(key)) != std::string::npos;)
            t.replace(p, key.size(), std::to_string(value));
    }
    return t;
}

bool parseInt(const std::string& s, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0 || v < 0 || v > 1 << 24)
        return false;
    out = static_cast<int>(v);
    return true;
}

std::unique_ptr<CMbTiles> openOrSay(const std::string& path, bool writable, const std::string& name)
{
    std::string error;
    auto f = writable ? CMbTiles::openWritable(path, name, error) : CMbTiles::openReadOnly(path, error);
    if (!f)
        std::cerr << "orvex tiles: " << path << ": " << error << "\n";
    return f;
}

// ---- the subcommands --------------------------------------------------------------------------

int info(const std::string& path)
{
    auto f = openOrSay(path, false, {});
    if (!f)
        return 1;
    const SMbTilesInfo i = f->info();
    CJsonObject zooms;
    for (const auto& [z, n] : i.perZoom)
        zooms.integer(std::to_string(z), n);
    std::error_code ec;
    CJsonObject out;
    out.integer("tiles", i.tiles).raw("perZoom", zooms.text());
    if (i.hasBounds) {
        const double b[] = {i.west, i.south, i.east, i.north};
        std::string arr = "[";
        for (double v : b) {
            if (arr.size() > 1)
                arr += ',';
            arr += CJsonObject().real("v", v).text().substr(5);
            arr.pop_back();
        }
        out.raw("bounds", arr + "]");
    } else {
        out.raw("bounds", "null");
    }
    out.integer("bytes", static_cast<long long>(fs::file_size(path, ec))).str("format", i.format);
    std::cout << out.text() << "\n";
    return 0;
}

int importDir(const std::string& dir, const std::string& outPath)
{
    if (!fs::is_directory(dir)) {
        std::cerr << "orvex tiles: no such directory: " << dir << "\n";
        return 1;
    }
    auto f = openOrSay(outPath, true, fs::path(dir).filename().string());
    if (!f)
        return 1;
    std::size_t count = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
        if (!e.is_regular_file())
            continue;
        const fs::path rel = fs::relative(e.path(), dir, ec);
        std::vector<std::string> parts;
        for (const auto& p : rel)
            parts.push_back(p.string());
        STileId t;
        if (parts.size() != 3 || !parseInt(parts[0], t.z) || !parseInt(parts[1], t.x) ||
            !parseInt(fs::path(parts[2]).stem().string(), t.y) || !validTileId(t))
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!f->put(t, data)) {
            std::cerr << "orvex tiles: cannot write " << outPath << "\n";
            return 1;
        }
        ++count;
    }
    f->refreshMetadata();
    std::cout << "imported " << count << " tiles into " << outPath << "\n";
    return 0;
}

int exportDir(const std::string& path, const std::string& dir)
{
    auto f = openOrSay(path, false, {});
    if (!f)
        return 1;
    std::size_t count = 0;
    for (const STileId& t : f->list()) {
        const auto data = f->tile(t);
        if (!data)
            continue;
        std::string ext = tileFormatOf(*data);
        const fs::path out = fs::path(dir) / std::to_string(t.z) / std::to_string(t.x) /
                             (std::to_string(t.y) + "." + (ext.empty() ? "png" : ext));
        std::error_code ec;
        fs::create_directories(out.parent_path(), ec);
        std::ofstream o(out, std::ios::binary);
        o << *data;
        if (!o) {
            std::cerr << "orvex tiles: cannot write " << out.string() << "\n";
            return 1;
        }
        ++count;
    }
    std::cout << "exported " << count << " tiles to " << dir << "\n";
    return 0;
}

int fetch(const std::vector<std::string>& args)
{
    std::string bbox, zoom, url, out;
    long long maxNew = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return toolUsageError("tiles", a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--bbox")
            bbox = v;
        else if (a == "--zoom")
            zoom = v;
        else if (a == "--url")
            url = v;
        else if (a == "-o")
            out = v;
        else if (a == "--max")
            maxNew = std::atoll(v.c_str());
        else
            return toolUsageError("tiles", "unknown argument '" + a + "'");
    }
    double s, w, n, e;
    int z0 = 0, z1 = 0;
    char extra;
    if (std::sscanf(bbox.c_str(), "%lf,%lf,%lf,%lf%c", &s, &w, &n, &e, &extra) != 4 || s > n)
        return toolUsageError("tiles", "--bbox needs S,W,N,E in degrees");
    if (std::sscanf(zoom.c_str(), "%d-%d%c", &z0, &z1, &extra) != 2) {
        if (std::sscanf(zoom.c_str(), "%d%c", &z0, &extra) != 1)
            return toolUsageError("tiles", "--zoom needs A-B");
        z1 = z0;
    }
    if (z0 < 0 || z1 < z0 || z1 > 22)
        return toolUsageError("tiles", "--zoom needs A-B with 0 <= A <= B <= 22");
    if (url.empty() || out.empty())
        return toolUsageError("tiles", "fetch needs --url and -o");
    if (url.rfind("https://", 0) == 0) {
        std::cerr << "orvex tiles: https:// sources are not supported (the program has no TLS library); "
                     "use an http:// source, for example a tile server on your own network\n";
        return 1;
    }
    if (url.find("tile.openstreetmap.org") != std::string::npos) {
        std::cerr << "orvex tiles: the public OpenStreetMap tile server forbids bulk download; "
                     "use a tile source that allows it (your own tile server or a provider's bulk service)\n";
        return 1;
    }
    SUrl probe;
    if (!parseHttpUrl(url, probe))
        return toolUsageError("tiles", "--url needs an http:// address with {z}, {x} and {y}");
    auto f = openOrSay(out, true, fs::path(out).stem().string());
    if (!f)
        return 1;

    const std::vector<STileId> tiles = tilesInBox(s, w, n, e, z0, z1);
    std::atomic<std::size_t> next{0};
    std::atomic<long long> fetched{0}, failed{0}, skipped{0};
    long long started = 0; // requests begun (under the mutex)
    std::mutex mutex;
    auto worker = [&] {
        for (;;) {
            const std::size_t i = next++;
            if (i >= tiles.size())
                return;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (f->has(tiles[i])) {
                    ++skipped;
                    continue;
                }
                if (maxNew >= 0 && started >= maxNew)
                    return;
                ++started;
            }
            std::string error;
            auto data = httpGet(fillTemplate(url, tiles[i]), error);
            std::lock_guard<std::mutex> lock(mutex);
            if (data && !data->empty() && f->put(tiles[i], *data)) {
                ++fetched;
            } else {
                ++failed;
                std::cerr << "orvex tiles: " << (error.empty() ? "cannot store a tile" : error) << "\n";
            }
        }
    };
    std::thread a(worker), b(worker); // at most two requests at a time
    a.join();
    b.join();
    f->refreshMetadata();
    std::cout << CJsonObject()
                     .integer("tiles", static_cast<long long>(tiles.size()))
                     .integer("fetched", fetched)
                     .integer("skipped", skipped)
                     .integer("failed", failed)
                     .text()
              << "\n";
    return failed > 0 ? 1 : 0;
}

int runTiles(const std::vector<std::string>& args)
{
    if (args.empty())
        return toolUsageError("tiles", "missing subcommand");
    const std::string& sub = args[0];
    if (sub == "info" && args.size() == 2)
        return info(args[1]);
    if (sub == "import" && args.size() == 3)
        return importDir(args[1], args[2]);
    if (sub == "export" && args.size() == 3)
        return exportDir(args[1], args[2]);
    if (sub == "fetch")
        return fetch({args.begin() + 1, args.end()});
    return toolUsageError("tiles", "bad subcommand or arguments");
}

CToolCommandRegistration reg{
    "tiles",
    "tiles info FILE | import DIR OUT.mbtiles | export FILE DIR | fetch --bbox S,W,N,E --zoom A-B --url TEMPLATE -o FILE [--max N]",
    "the map's MBTiles files: describe, build from a {z}/{x}/{y}.png folder, unpack, download an area",
    &runTiles};

} // namespace
