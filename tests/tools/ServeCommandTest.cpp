// `orvex serve` run as the operator runs it and asked over a real socket: the port it reports, what
// a browser gets (content types, the redirect, the error pages), a headless browser showing a
// styled page, and a clean stop on SIGTERM.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Generous bounds: the machine running the tests may be busy (sanitizer builds, two cores).
constexpr auto kBound = std::chrono::seconds(60);

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Runs `command` (argv) with its standard output on a pipe; the pid.
pid_t spawn(std::vector<std::string> command, int* outFd)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    std::vector<char*> argv;
    for (auto& a : command)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    *outFd = fds[0];
    return pid;
}

// Waits for `pid` to end; its status as waitpid gives it, -1 when it did not end in time.
int waitExit(pid_t pid, std::chrono::seconds bound)
{
    const auto deadline = Clock::now() + bound;
    for (int status = 0; Clock::now() < deadline; ::usleep(20000))
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return status;
    return -1;
}

struct SResponse {
    std::string statusLine, head, body;
    // The value of header line `name` ("" when missing).
    std::string header(const std::string& name) const
    {
        const std::size_t at = head.find("\r\n" + name + ":");
        if (at == std::string::npos)
            return {};
        const std::size_t from = head.find_first_not_of(' ', at + name.size() + 3);
        return head.substr(from, head.find("\r\n", from) - from);
    }
};

// One request over a fresh connection to 127.0.0.1:port; the answer up to the server's close.
SResponse ask(int port, const std::string& request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string raw;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        const auto deadline = Clock::now() + kBound;
        char buf[4096];
        for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, remainingMs(deadline)) > 0;) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            raw.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    SResponse r;
    const std::size_t end = raw.find("\r\n\r\n");
    r.head = raw.substr(0, end) + "\r\n";
    r.statusLine = raw.substr(0, raw.find("\r\n"));
    r.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
    return r;
}

SResponse get(int port, const std::string& path, const std::string& host = "127.0.0.1")
{
    return ask(port, "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
}

// The RGB colour of pixel (x, y) of an 8-bit RGB or RGBA PNG file; -1 when it cannot be read.
long pngPixel(const std::string& png, unsigned x, unsigned y)
{
    auto be32 = [&](std::size_t at) {
        return (unsigned(uint8_t(png[at])) << 24) | (unsigned(uint8_t(png[at + 1])) << 16) |
               (unsigned(uint8_t(png[at + 2])) << 8) | unsigned(uint8_t(png[at + 3]));
    };
    if (png.size() < 33 || png.compare(12, 4, "IHDR") != 0 || png[24] != 8 || (png[25] != 2 && png[25] != 6))
        return -1;
    const unsigned width = be32(16), height = be32(20), bpp = png[25] == 6 ? 4 : 3;
    std::string idat;
    for (std::size_t at = 8; at + 8 <= png.size(); at += 12 + be32(at))
        if (png.compare(at + 4, 4, "IDAT") == 0)
            idat += png.substr(at + 8, be32(at));
    const std::size_t stride = std::size_t(width) * bpp;
    std::string raw((stride + 1) * height, '\0');
    uLongf rawSize = raw.size();
    if (x >= width || y >= height || uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                                                reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK)
        return -1;
    std::vector<uint8_t> prev(stride, 0), row(stride);
    for (unsigned r = 0; r <= y; ++r, prev = row) // undo each row's filter
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
            row[i] = uint8_t(uint8_t(raw[r * (stride + 1) + 1 + i]) + pred[uint8_t(raw[r * (stride + 1)]) % 5]);
        }
    return (long(prev[x * bpp]) << 16) | (long(prev[x * bpp + 1]) << 8) | prev[x * bpp + 2];
}

class ServeCommand : public ::testing::Test {
  protected:
    void TearDown() override
    {
        if (pid > 0) { // a failed test must not leave the server running
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (outFd >= 0)
            ::close(outFd);
    }

    void start(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{std::string(ORVEX_BIN_DIR) + "/orvex", "serve"};
        all.insert(all.end(), args.begin(), args.end());
        if (outFd >= 0)
            ::close(outFd);
        out.clear();
        pid = spawn(all, &outFd);
        ASSERT_GT(pid, 0);
    }

    // Reads standard output until a line holds `text`; what follows it on that line, or nullopt.
    std::optional<std::string> readUntil(const std::string& text, std::chrono::seconds bound)
    {
        const auto deadline = Clock::now() + bound;
        for (char buf[512];;) {
            const std::size_t at = out.find(text);
            const std::size_t eol = at == std::string::npos ? at : out.find('\n', at);
            if (eol != std::string::npos)
                return out.substr(at + text.size(), eol - at - text.size());
            pollfd p{outFd, POLLIN, 0};
            const ssize_t n = ::poll(&p, 1, remainingMs(deadline)) > 0 ? ::read(outFd, buf, sizeof buf) : 0;
            if (n <= 0)
                return std::nullopt;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Serves `dir` on a free port; the port it reports.
    int serve(const fs::path& root)
    {
        start({"--root", root.string(), "--port", "0"});
        const auto rest = readUntil(" on port ", kBound);
        return rest ? std::atoi(rest->c_str()) : 0;
    }

    CTempDir tmp{"orvex-serve"};
    fs::path dir = tmp.dir();
    pid_t pid = -1;
    int outFd = -1;
    std::string out;
};

TEST_F(ServeCommand, SendsEachFileKindWithItsContentType)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.html", "text/html; charset=utf-8"}, {"b.HTM", "text/html; charset=utf-8"},
        {"c.css", "text/css"},                  {"d.js", "text/javascript"},
        {"e.json", "application/json"},         {"f.png", "image/png"},
        {"g.jpg", "image/jpeg"},                {"h.jpeg", "image/jpeg"},
        {"i.svg", "image/svg+xml"},             {"j.ico", "image/x-icon"},
        {"k.txt", "text/plain; charset=utf-8"}, {"l.bin", "application/octet-stream"},
        {"m.tar.gz", "application/octet-stream"},
    };
    for (const auto& [name, type] : cases)
        CTempDir::write((dir / name).string(), "bytes of " + name + " 地图\n");
    const int port = serve(dir);
    ASSERT_GT(port, 0) << out;
    for (const auto& [name, type] : cases) {
        const SResponse r = get(port, "/" + name + "?x=1");
        EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK") << name;
        EXPECT_EQ(r.header("Content-Type"), type) << name;
        EXPECT_EQ(r.body, "bytes of " + name + " 地图\n") << name;
        // The other lines of the header are as they always were.
        EXPECT_EQ(r.header("Server"), "Lanterna HttpServer") << name;
        EXPECT_EQ(r.header("Content-Length"), std::to_string(r.body.size())) << name;
        EXPECT_EQ(r.header("Accept-Ranges"), "bytes") << name;
        EXPECT_EQ(r.header("Connection"), "close") << name;
    }
}

TEST_F(ServeCommand, DirectoriesRedirectWith302ToThisServerWhateverTheHostSays)
{
    fs::create_directory(dir / "maps");
    const int port = serve(dir);
    ASSERT_GT(port, 0) << out;
    const std::string self = "http://127.0.0.1:" + std::to_string(port);
    for (const auto& [path, location] : std::vector<std::pair<std::string, std::string>>{
             {"/", self + "/lanterna.html"}, {"/maps/", self + "/maps/lanterna.html"}, {"/maps", self + "/maps/lanterna.html"}}) {
        const SResponse r = get(port, path, "evil.example");
        EXPECT_EQ(r.statusLine, "HTTP/1.1 302 Redirect Page") << path;
        EXPECT_EQ(r.header("Location"), location) << path;
    }
}

TEST_F(ServeCommand, ErrorPagesSayTheirCharset)
{
    CTempDir::write((dir / "noexec.cgi").string(), "#!/bin/sh\necho a\n"); // not executable: cannot start
    const int port = serve(dir);
    ASSERT_GT(port, 0) << out;
    for (const auto& [path, statusLine] : std::vector<std::pair<std::string, std::string>>{
             {"/nosuch.htm", "HTTP/1.1 404 未找到"}, {"/noexec.cgi", "HTTP/1.1 500 内部错误"}}) {
        const SResponse r = get(port, path);
        EXPECT_EQ(r.statusLine, statusLine) << path;
        EXPECT_EQ(r.header("Content-Type"), "text/html; charset=utf-8") << path;
        EXPECT_NE(r.body.find("<h1>" + statusLine.substr(13) + "</h1>"), std::string::npos) << r.body;
    }
}

TEST_F(ServeCommand, HeadlessBrowserShowsTheStartPageStyledByItsStylesheet)
{
    if (::access("/usr/bin/chromium", X_OK) != 0)
        GTEST_SKIP() << "/usr/bin/chromium is not installed (scripts/install-deps installs it)";
    // The built start page carries its style inline; a page with a separate stylesheet shows
    // whether the browser takes the stylesheet as sent.
    CTempDir::write((dir / "lanterna.html").string(),
                    "<!DOCTYPE html>\n<html><head><link rel=\"stylesheet\" href=\"look.css\"></head><body></body></html>\n");
    CTempDir::write((dir / "look.css").string(), "html, body { margin: 0; background: #2a7d4f; }\n");
    const int port = serve(dir);
    ASSERT_GT(port, 0) << out;
    const std::string shot = (dir / "shot.png").string();
    int browserOut = -1;
    const pid_t browser = spawn({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                 "--no-first-run", "--disable-background-networking", "--disable-component-update",
                                 "--disable-sync", "--user-data-dir=" + (dir / "profile").string(),
                                 "--screenshot=" + shot, "--window-size=320,200",
                                 "http://127.0.0.1:" + std::to_string(port) + "/"},
                                &browserOut);
    ASSERT_GT(browser, 0);
    const int status = waitExit(browser, std::chrono::seconds(120));
    if (status == -1) {
        ::kill(browser, SIGKILL);
        ::waitpid(browser, nullptr, 0);
    }
    ::close(browserOut);
    ASSERT_NE(status, -1) << "chromium did not finish";
    EXPECT_EQ(pngPixel(CTempDir::read(shot), 160, 100), 0x2a7d4f) << "the page is not styled by look.css";
}

TEST_F(ServeCommand, ReportsTheBoundPortAndStopsOnSigterm)
{
    const int port = serve(dir);
    ASSERT_GT(port, 0) << "port 0 asks for a free port; the real one must be reported: " << out;
    EXPECT_EQ(get(port, "/nosuch.htm").statusLine, "HTTP/1.1 404 未找到");

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const int status = waitExit(pid, kBound);
    ASSERT_NE(status, -1) << "orvex serve did not stop after SIGTERM";
    pid = -1;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(readUntil("stopped", kBound)) << out;
    EXPECT_EQ(get(port, "/nosuch.htm").statusLine, "") << "nothing listens once the program has gone";
}

TEST_F(ServeCommand, RejectsBadArgumentsWithoutServing)
{
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"--port", "65536"}, 2}, {{"--port", "-1"}, 2}, {{"--port", "80x"}, 2}, {{"--port"}, 2}, {{"--bogus"}, 2},
        {{"--root", "/nonexistent/orvex-serve-root", "--port", "0"}, 1},
    };
    for (const auto& [args, exitCode] : cases) {
        start(args);
        const int status = waitExit(pid, kBound);
        ASSERT_NE(status, -1) << "still running with " << args[0];
        pid = -1;
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), exitCode) << args[0] << " " << args.back();
        EXPECT_FALSE(readUntil(" on port ", std::chrono::seconds(5))) << out;
    }
}

} // namespace
