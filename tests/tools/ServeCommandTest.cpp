// `orvex serve` run as the operator runs it and asked over a real socket and by a headless browser.
#include "support/HttpClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Generous bounds: the machine running the tests may be busy (sanitizer builds, two cores).
constexpr auto kBound = std::chrono::seconds(60);

// Waits for `pid` to end; its status as waitpid gives it, -1 when it did not end in time.
int waitExit(pid_t pid, std::chrono::seconds bound)
{
    const auto deadline = Clock::now() + bound;
    for (int status = 0; Clock::now() < deadline; ::usleep(20000))
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return status;
    return -1;
}

// The RGB colour of the top left pixel of an 8-bit RGB or RGBA PNG file; -1 when it cannot be read.
// Every row filter leaves the first pixel of the first row as it is.
long pngFirstPixel(const std::string& png)
{
    auto be32 = [&](std::size_t at) {
        return (unsigned(uint8_t(png[at])) << 24) | (unsigned(uint8_t(png[at + 1])) << 16) |
               (unsigned(uint8_t(png[at + 2])) << 8) | unsigned(uint8_t(png[at + 3]));
    };
    if (png.size() < 33 || png.compare(12, 4, "IHDR") != 0 || png[24] != 8 || (png[25] != 2 && png[25] != 6))
        return -1;
    std::string idat;
    for (std::size_t at = 8; at + 8 <= png.size(); at += 12 + be32(at))
        if (png.compare(at + 4, 4, "IDAT") == 0)
            idat += png.substr(at + 8, be32(at));
    std::string raw((std::size_t(be32(16)) * (png[25] == 6 ? 4 : 3) + 1) * be32(20), '\0');
    uLongf size = raw.size();
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &size, reinterpret_cast<const Bytef*>(idat.data()),
                   idat.size()) != Z_OK || size < 4)
        return -1;
    return (long(uint8_t(raw[1])) << 16) | (long(uint8_t(raw[2])) << 8) | uint8_t(raw[3]);
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

    // Starts `orvex serve <args>` with its standard output on a pipe.
    void start(std::vector<std::string> args)
    {
        args.insert(args.begin(), {std::string(ORVEX_BIN_DIR) + "/orvex", "serve"});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        if ((pid = ::fork()) == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        if (outFd >= 0)
            ::close(outFd);
        outFd = fds[0];
        out.clear();
    }

    // Reads standard output until a line holds `text`; what follows it on that line, or nullopt.
    std::optional<std::string> readUntil(const std::string& text, std::chrono::seconds bound)
    {
        for (auto deadline = Clock::now() + bound; Clock::now() < deadline;) {
            const std::size_t at = out.find(text);
            const std::size_t eol = at == std::string::npos ? at : out.find('\n', at);
            if (eol != std::string::npos)
                return out.substr(at + text.size(), eol - at - text.size());
            pollfd p{outFd, POLLIN, 0};
            char buf[512];
            const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(outFd, buf, sizeof buf) : 0;
            if (p.revents && n <= 0)
                return std::nullopt; // the program has gone
            out.append(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
        return std::nullopt;
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

// The content types, the redirect and the error pages as a browser gets them, then a clean stop on
// SIGTERM. The header lines around them are the server's (tested in the core).
TEST_F(ServeCommand, AnswersWhatABrowserNeedsWhateverTheHostSaysAndStopsOnSigterm)
{
    const int port = serve(dir);
    ASSERT_GT(port, 0) << "port 0 asks for a free port; the real one must be reported: " << out;
    const std::string self = "http://127.0.0.1:" + std::to_string(port), html = "text/html; charset=utf-8";
    struct SCase {
        std::string path, statusLine, type, location;
    };
    const SCase cases[] = {
        {"/a.html", "200 OK", html, ""},          {"/b.HTM", "200 OK", html, ""},
        {"/c.css", "200 OK", "text/css", ""},     {"/d.js", "200 OK", "text/javascript", ""},
        {"/e.json", "200 OK", "application/json", ""}, {"/f.png", "200 OK", "image/png", ""},
        {"/g.jpg", "200 OK", "image/jpeg", ""},   {"/h.jpeg", "200 OK", "image/jpeg", ""},
        {"/i.svg", "200 OK", "image/svg+xml", ""}, {"/j.ico", "200 OK", "image/x-icon", ""},
        {"/k.txt", "200 OK", "text/plain; charset=utf-8", ""}, {"/l.bin", "200 OK", "application/octet-stream", ""},
        {"/m.tar.gz", "200 OK", "application/octet-stream", ""},
        // Directories: a redirect browsers follow, to this server, never to the Host named.
        {"/", "302 Redirect Page", "text/html", self + "/lanterna.html"},
        {"/maps/", "302 Redirect Page", "text/html", self + "/maps/lanterna.html"},
        {"/nosuch.htm", "404 未找到", html, ""}, // the error pages say their charset
        {"/noexec.cgi", "500 内部错误", html, ""}, // not executable: cannot start
    };
    for (const SCase& c : cases)
        if (c.location.empty() && c.path != "/nosuch.htm")
            CTempDir::write((dir / c.path.substr(1)).string(), "bytes of " + c.path + " 地图\n");
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.path);
        const SHttpResponse r = httpGet(port, c.path + "?x=1", "evil.example");
        EXPECT_EQ(r.statusLine, "HTTP/1.1 " + c.statusLine);
        EXPECT_EQ(r.header("Content-Type"), c.type);
        EXPECT_EQ(r.header("Location"), c.location);
        if (c.statusLine == "200 OK")
            EXPECT_EQ(r.body, "bytes of " + c.path + " 地图\n");
    }

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const int status = waitExit(pid, kBound);
    ASSERT_NE(status, -1) << "orvex serve did not stop after SIGTERM";
    pid = -1;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(readUntil("stopped", kBound)) << out;
    EXPECT_EQ(httpGet(port, "/nosuch.htm").statusLine, "") << "nothing listens once the program has gone";
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
    const std::string command =
        "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
        (dir / "profile").string() + " --screenshot=" + shot + " --window-size=320,200 http://127.0.0.1:" +
        std::to_string(port) + "/ >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(pngFirstPixel(CTempDir::read(shot)), 0x2a7d4f) << "the page is not styled by look.css";
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
        EXPECT_FALSE(readUntil(" on port ", kBound)) << out; // the pipe closes with the program
    }
}

} // namespace
