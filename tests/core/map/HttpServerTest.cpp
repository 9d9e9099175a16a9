// The HTTP server on a free loopback port, driven by a real client written on plain sockets.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "map/HttpServer.h"

using namespace orvex;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kNotFoundDetail = "您要查看的网页可能已被删除、名称已被更改，或者暂时不可用。";
const char* kSecret = "SECRET-OUTSIDE-THE-ROOT";

int connectTo(std::uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendText(int fd, const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

// Everything until the server closes (or the time-out); `closed` tells whether it did close.
std::string readAll(int fd, int timeoutMs, bool* closed = nullptr)
{
    std::string out;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[8192];
    for (;;) {
        int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            return out;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    if (closed)
        *closed = false;
    return out;
}

struct Response {
    std::string raw;
    int status = 0;
    std::string statusLine;
    std::map<std::string, std::string> headers; // name as sent
    std::string body;
};

Response parse(const std::string& raw)
{
    Response r;
    r.raw = raw;
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return r;
    std::string head = raw.substr(0, end);
    r.body = raw.substr(end + 4);
    std::size_t eol = head.find("\r\n");
    r.statusLine = head.substr(0, eol);
    if (r.statusLine.size() > 12)
        r.status = std::atoi(r.statusLine.c_str() + 9);
    while (eol != std::string::npos) {
        std::size_t next = head.find("\r\n", eol + 2);
        std::string line = head.substr(eol + 2, next == std::string::npos ? std::string::npos : next - eol - 2);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            r.headers[line.substr(0, colon)] = line.substr(colon + 1);
        eol = next;
    }
    return r;
}

Response roundTrip(std::uint16_t port, const std::string& request, int timeoutMs = 5000)
{
    int fd = connectTo(port);
    if (fd < 0)
        return {};
    sendText(fd, request);
    std::string raw = readAll(fd, timeoutMs);
    ::close(fd);
    return parse(raw);
}

Response get(std::uint16_t port, const std::string& target)
{
    return roundTrip(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

void writeFile(const fs::path& path, const std::string& content, fs::perms perms = fs::perms::owner_read |
                                                                                  fs::perms::owner_write)
{
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

int threadCount()
{
    int n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// Running, or a zombie nobody reaped: 'R', 'S', 'Z'...; 0 once it is gone.
char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? 0 : text[paren + 2];
}

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/orvex-http-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        base = fs::canonical(tmpl);
        root = base / "html";
        fs::create_directories(root / "sub");
        const auto exec = fs::perms::owner_all;
        writeFile(root / "lanterna.html", "<html>默认页</html>");
        writeFile(root / "earth.htm", "<html><body>地图</body></html>\n");
        writeFile(root / "sub" / "page.htm", "sub page");
        writeFile(root / "pic.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        writeFile(root / "big.bin", std::string(8 << 20, 'B'));
        writeFile(base / "secret.txt", kSecret);
        writeFile(base / "evil.cgi", "#!/bin/sh\ntouch " + (base / "ran-outside").string() + "\necho x\necho " +
                                         kSecret + "\n", exec);
        fs::create_symlink(base / "secret.txt", root / "out.htm");
        fs::create_symlink(base, root / "outdir");
        fs::create_symlink(base / "evil.cgi", root / "evil.cgi");
        fs::create_symlink(root / "earth.htm", root / "inside.htm");

        writeFile(root / "hello.cgi",
                  "#!/bin/sh\necho 'Content-Type: text/html'\necho\necho \"len=$CONTENT_LENGTH\"\n"
                  "echo \"query=$QUERY_STRING\"\necho \"method=$REQUEST_METHOD\"\necho \"dir=$(pwd)\"\n"
                  "printf 'body='\ncat\n",
                  exec);
        writeFile(root / "flood.cgi", "#!/bin/sh\necho first\nhead -c 200000 /dev/zero | tr '\\0' x\n", exec);
        writeFile(root / "hang.cgi",
                  "#!/bin/sh\necho $$ > " + (base / "hang.pid").string() + "\nsleep 30 &\necho $! > " +
                      (base / "sleep.pid").string() + "\necho started\nwait\n",
                  exec);
        writeFile(root / "noexec.cgi", "#!/bin/sh\necho a\necho b\n");
        writeFile(root / "oneline.exe", "#!/bin/sh\nprintf 'only a first line'\n", exec);

        threadsBefore = threadCount();
        server = std::make_unique<CHttpServer>(root.string());
        server->start(0);
        port = server->port();
        ASSERT_NE(port, 0);
    }

    void TearDown() override
    {
        if (server)
            server->stop();
        server.reset();
        EXPECT_EQ(threadCount(), threadsBefore) << "server threads left behind";
        fs::remove_all(base);
    }

    void expectNotFound(Response r, const std::string& what)
    {
        const std::string page = std::string("<Html>\n<Head><Title>HTTP 404 (未找到)</Title>\n</Head>\n<Body>\n"
                                             "<h1>未找到</h1>\n<h2>错误详细描述：") +
                                 kNotFoundDetail + "</h2>\n</Body>\n</Html>";
        EXPECT_EQ(r.statusLine, "HTTP/1.1 404 未找到") << what;
        EXPECT_EQ(r.body, page) << what;
        EXPECT_EQ(r.headers["Content-Length"], " " + std::to_string(page.size())) << what;
        EXPECT_EQ(r.raw.find(kSecret), std::string::npos) << what;
    }

    fs::path base, root;
    std::unique_ptr<CHttpServer> server;
    std::uint16_t port = 0;
    int threadsBefore = 0;
};

TEST_F(HttpServerTest, DirectoryRequestsRedirectToTheDefaultPage)
{
    Response r = roundTrip(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 300 Redirect Page");
    EXPECT_EQ(r.headers["Location"], "http://127.0.0.1:" + std::to_string(port) + "/lanterna.html");
    EXPECT_EQ(r.headers["Server"], " Lanterna HttpServer");
    EXPECT_EQ(r.headers["Content-Type"], " text/html");
    EXPECT_EQ(r.headers["Connection"], " close");
    EXPECT_TRUE(r.body.empty());

    EXPECT_EQ(get(port, "/sub/").headers["Location"], "http://127.0.0.1/sub/lanterna.html");
    EXPECT_EQ(get(port, "/sub").headers["Location"], "http://127.0.0.1/sub/lanterna.html");
    Response noHost = roundTrip(port, "GET /sub/ HTTP/1.0\r\n\r\n");
    EXPECT_EQ(noHost.status, 300);
    EXPECT_EQ(noHost.headers["Location"], "/sub/lanterna.html");
    // The redirect leads somewhere real.
    EXPECT_EQ(get(port, "/lanterna.html").body, "<html>默认页</html>");
}

TEST_F(HttpServerTest, ServesFilesAsTextHtmlWithDateAndLength)
{
    Response r = get(port, "/earth.htm?x=1");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.body, "<html><body>地图</body></html>\n");
    EXPECT_EQ(r.headers["Content-Length"], " " + std::to_string(r.body.size()));
    EXPECT_EQ(r.headers["Accept-Ranges"], " bytes");

    const std::string& date = r.headers["Date"];
    std::smatch m;
    ASSERT_TRUE(std::regex_match(date, m, std::regex(R"( (Sun|Mon|Tue|Wed|Thu|Fri|Sat), (\d\d) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\d{4}) (\d\d):(\d\d):(\d\d) GMT)")))
        << date;
    std::tm tm{};
    ::strptime(date.c_str() + 1, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    EXPECT_LE(std::llabs((long long)(::timegm(&tm) - std::time(nullptr))), 5);

    Response png = get(port, "/pic.png");
    EXPECT_EQ(png.status, 200);
    EXPECT_EQ(png.headers["Content-Type"], " text/html");
    EXPECT_EQ(png.body, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));

    EXPECT_EQ(roundTrip(port, "post /sub/page.htm HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc").body, "sub page");
    EXPECT_EQ(get(port, "/sub/../earth.htm").status, 200); // ".." that stays inside is fine
    EXPECT_EQ(get(port, "/inside.htm").status, 200);       // a link that stays inside too

    Response big = get(port, "/big.bin");
    EXPECT_EQ(big.status, 200);
    EXPECT_EQ(big.body.size(), std::size_t(8 << 20));
}

TEST_F(HttpServerTest, MissingFilesAndDirectoriesNamedAsFilesGet404)
{
    expectNotFound(get(port, "/nosuch.htm"), "/nosuch.htm");
    expectNotFound(get(port, "/sub/nosuch.htm"), "/sub/nosuch.htm");
    fs::create_directory(root / "dir.d");
    expectNotFound(get(port, "/dir.d"), "a directory is no file");
}

TEST_F(HttpServerTest, UnreadableFileGets500)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeFile(root / "locked.htm", "x", fs::perms::none);
    Response r = get(port, "/locked.htm");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_NE(r.body.find("<h2>错误详细描述：内部服务器错误！</h2>"), std::string::npos);
}

TEST_F(HttpServerTest, OtherMethodsAreClosedWithoutResponse)
{
    for (const char* request : {"PUT /earth.htm HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", "HEAD / HTTP/1.1\r\n\r\n",
                                "DELETE /earth.htm HTTP/1.1\r\n\r\n", "\r\n\r\n", "BREW /pot HTCPCP/1.0\r\n\r\n"}) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        sendText(fd, request);
        bool closed = false;
        EXPECT_EQ(readAll(fd, 3000, &closed), "") << request;
        EXPECT_TRUE(closed) << request;
        ::close(fd);
    }
}

TEST_F(HttpServerTest, OversizedRequestsAreParsedFromTheirFirstThousandBytes)
{
    // The request line fits: the file is served and the response arrives whole despite the
    // unread rest of the request.
    Response padded = roundTrip(port, "GET /earth.htm HTTP/1.1\r\nX-Pad: " + std::string(200000, 'p') + "\r\n\r\n");
    EXPECT_EQ(padded.status, 200);
    EXPECT_EQ(padded.body, "<html><body>地图</body></html>\n");
    // A path cut off by the limit names no file.
    expectNotFound(roundTrip(port, "GET /sub.d/" + std::string(3000, 'a') + ".htm HTTP/1.1\r\n\r\n"), "long path");
}

TEST_F(HttpServerTest, TwentyWaysOutOfTheRootAllGet404)
{
    const std::vector<std::string> attempts = {
        "/../secret.txt",
        "/../../../../../../etc/passwd",
        "/%2e%2e/secret.txt",
        "/%2E%2E/secret.txt",
        "/.%2e/secret.txt",
        "/%2e./secret.txt",
        "/..%2fsecret.txt",
        "/%2e%2e%2fsecret.txt",
        "/..%5csecret.txt",
        "/..\\secret.txt",
        "\\..\\secret.txt",
        "/sub/../../secret.txt",
        "/sub/%2e%2e/%2e%2e/secret.txt",
        "/%252e%252e/secret.txt",
        "/%252e%252e%252fsecret.txt",
        "/etc/ld.so.conf",
        "//etc/ld.so.conf",
        "/%2fetc%2fld.so.conf",
        "/out.htm",
        "/outdir/secret.txt",
        "/outdir/html/../secret.txt",
        "/..%00/secret.txt",
        "/secret.txt%00.htm",
        "http://127.0.0.1/../secret.txt",
        "/../",
        "/%2e%2e/",
    };
    ASSERT_GE(attempts.size(), 20u);
    for (const std::string& path : attempts)
        expectNotFound(get(port, path), path);

    // A CGI program outside the root, reached through a link inside it, is never run.
    expectNotFound(get(port, "/evil.cgi"), "/evil.cgi");
    expectNotFound(get(port, "/outdir/evil.cgi"), "/outdir/evil.cgi");
    expectNotFound(get(port, "/../evil.cgi"), "/../evil.cgi");
    EXPECT_FALSE(fs::exists(base / "ran-outside"));
}

TEST_F(HttpServerTest, CgiGetsLengthQueryBodyAndItsOwnDirectory)
{
    Response r = roundTrip(port, "POST /hello.cgi?x=1&y=2 HTTP/1.1\r\nHost: h\r\nContent-Length: 7\r\n\r\na=1&b=2");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    const std::string expected = "\nlen=7\nquery=x=1&y=2\nmethod=POST\ndir=" + root.string() + "\nbody=a=1&b=2";
    EXPECT_EQ(r.body, expected);
    EXPECT_EQ(r.headers["Content-Length"], " " + std::to_string(expected.size()));
    EXPECT_EQ(r.headers["Content-Type"], " text/html");

    // Without a body the length is not set at all; the query is the program's.
    EXPECT_EQ(get(port, "/hello.cgi").body,
              "\nlen=\nquery=\nmethod=GET\ndir=" + root.string() + "\nbody=");
}

TEST_F(HttpServerTest, BodyShorterThanAnnouncedIsServedAfterTheWait)
{
    auto t0 = Clock::now();
    Response r = roundTrip(port, "POST /hello.cgi HTTP/1.1\r\nContent-Length: 50\r\n\r\nabc", 15000);
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("len=50\n"), std::string::npos);
    EXPECT_NE(r.body.find("body=abc"), std::string::npos);
    EXPECT_GT(std::chrono::duration<double>(Clock::now() - t0).count(), 9.0);
}

TEST_F(HttpServerTest, MissingDocumentRootServesNothing)
{
    CHttpServer noRoot((base / "no-such-folder").string());
    noRoot.start(0);
    expectNotFound(get(noRoot.port(), "/etc/ld.so.conf"), "missing root");
    expectNotFound(get(noRoot.port(), "/secret.txt"), "missing root");
    noRoot.stop();
}

TEST_F(HttpServerTest, CgiOutputIsCutAfterFiveThousandBytes)
{
    Response r = get(port, "/flood.cgi");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, std::string(5000, 'x'));
    EXPECT_EQ(r.headers["Content-Length"], " 5000");

    Response oneLine = get(port, "/oneline.exe");
    EXPECT_EQ(oneLine.status, 200);
    EXPECT_EQ(oneLine.body, "");
}

TEST_F(HttpServerTest, CgiThatCannotStartGets500)
{
    Response r = get(port, "/noexec.cgi");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_NE(r.body.find("内部服务器错误！"), std::string::npos);
}

TEST_F(HttpServerTest, HungCgiIsKilledAndReaped)
{
    auto t0 = Clock::now();
    Response r = get(port, "/hang.cgi");
    double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_EQ(r.body.find("started"), std::string::npos);
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 15.0); // killed, not left to run its 30 s (generous: the machine may be busy)

    std::ifstream hangPid(base / "hang.pid"), sleepPid(base / "sleep.pid");
    pid_t program = 0, child = 0;
    hangPid >> program;
    sleepPid >> child;
    ASSERT_GT(program, 0);
    ASSERT_GT(child, 0);
    EXPECT_EQ(processState(program), 0) << "the program is gone and reaped";
    // What it started was killed with it (it may linger as a zombie of its new parent).
    char state = processState(child);
    for (int i = 0; i < 500 && state != 0 && state != 'Z'; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state = processState(child);
    }
    EXPECT_TRUE(state == 0 || state == 'Z') << state;

    // The CGI lock was released: the next program runs.
    EXPECT_EQ(get(port, "/hello.cgi").status, 200);
}

TEST_F(HttpServerTest, ConnectionsBeyondTheLimitAreClosedAtOnce)
{
    std::vector<int> fds;
    for (int i = 0; i < 150; ++i) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
    }
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (server->activeConnections() < CHttpServer::kMaxConnections && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server->activeConnections(), CHttpServer::kMaxConnections);
    // The fifty beyond the limit are closed without being asked anything.
    int closedEarly = 0;
    while (Clock::now() < deadline) {
        std::vector<pollfd> polls;
        for (int fd : fds)
            polls.push_back({fd, POLLIN, 0});
        ::poll(polls.data(), polls.size(), 50);
        closedEarly = 0;
        for (const pollfd& p : polls)
            closedEarly += p.revents != 0;
        if (closedEarly >= 50)
            break;
    }
    EXPECT_EQ(closedEarly, 50);
    EXPECT_EQ(server->activeConnections(), CHttpServer::kMaxConnections);

    int served = 0, refused = 0;
    for (int fd : fds)
        sendText(fd, "GET /earth.htm HTTP/1.1\r\n\r\n");
    for (int fd : fds) {
        bool closed = false;
        std::string raw = readAll(fd, 20000, &closed);
        EXPECT_TRUE(closed);
        if (raw.empty())
            ++refused;
        else if (parse(raw).body == "<html><body>地图</body></html>\n")
            ++served;
        ::close(fd);
    }
    EXPECT_EQ(served, 100);
    EXPECT_EQ(refused, 50);

    deadline = Clock::now() + std::chrono::seconds(30);
    while (server->activeConnections() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server->activeConnections(), 0);
}

TEST_F(HttpServerTest, HundredFiftyConcurrentClientsAllServedWithRetries)
{
    std::atomic<int> ok{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 150; ++i)
        clients.emplace_back([&, i] {
            auto deadline = Clock::now() + std::chrono::seconds(60);
            while (Clock::now() < deadline) {
                Response r = get(port, i % 2 ? "/earth.htm" : "/sub/page.htm");
                if (r.status == 200 && r.body == (i % 2 ? "<html><body>地图</body></html>\n" : "sub page")) {
                    ++ok;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    for (auto& t : clients)
        t.join();
    EXPECT_EQ(ok.load(), 150);
}

TEST_F(HttpServerTest, IdleConnectionsGiveUpTheirSlotsAfterTenSeconds)
{
    auto t0 = Clock::now();
    std::vector<int> idle;
    for (int i = 0; i < 100; ++i) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        idle.push_back(fd);
    }
    while (server->activeConnections() < 100 && Clock::now() - t0 < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(server->activeConnections(), 100);
    // Every idle connection was accepted between t0 and t1: their slots come free no earlier than
    // ten seconds after t0 and, on time, soon after ten seconds after t1.
    const auto t1 = Clock::now();

    // Over the limit: closed at once, not kept waiting.
    int extra = connectTo(port);
    bool closed = false;
    EXPECT_EQ(readAll(extra, 10000, &closed), "");
    EXPECT_TRUE(closed);
    ::close(extra);

    Response served;
    while (Clock::now() - t1 < std::chrono::seconds(25)) {
        served = get(port, "/earth.htm");
        if (served.status == 200)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double sinceFirst = std::chrono::duration<double>(Clock::now() - t0).count();
    const double sinceLast = std::chrono::duration<double>(Clock::now() - t1).count();
    EXPECT_EQ(served.status, 200);
    EXPECT_LT(sinceLast, 15.0) << "idle connections kept their slots far beyond ten seconds";
    EXPECT_GT(sinceFirst, 9.0) << "idle connections were dropped too early";
    for (int fd : idle) {
        bool idleClosed = false;
        EXPECT_EQ(readAll(fd, 5000, &idleClosed), "");
        EXPECT_TRUE(idleClosed);
        ::close(fd);
    }
}

TEST_F(HttpServerTest, ClientVanishingMidTransferDoesNotHurtTheServer)
{
    // The test process keeps the default SIGPIPE action: a send without MSG_NOSIGNAL would kill it.
    ASSERT_EQ(::signal(SIGPIPE, SIG_DFL), SIG_DFL);
    for (int i = 0; i < 5; ++i) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        sendText(fd, "GET /big.bin HTTP/1.1\r\n\r\n");
        char buf[1024];
        ASSERT_GT(::recv(fd, buf, sizeof buf, 0), 0);
        linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    EXPECT_EQ(get(port, "/earth.htm").status, 200);
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (server->activeConnections() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server->activeConnections(), 0);
}

TEST_F(HttpServerTest, StopIsPromptWithConnectionsWaitingAndRestartWorks)
{
    std::vector<int> idle;
    for (int i = 0; i < 20; ++i)
        idle.push_back(connectTo(port));
    const auto waitUntil = Clock::now() + std::chrono::seconds(30);
    while (server->activeConnections() < 20 && Clock::now() < waitUntil)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(server->activeConnections(), 20);
    auto t0 = Clock::now();
    server->stop();
    // Prompt: not the ten seconds the idle connections could still wait.
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 5.0);
    EXPECT_FALSE(server->isRunning());
    EXPECT_EQ(threadCount(), threadsBefore);
    EXPECT_EQ(connectTo(port), -1) << "nothing listens after stop";
    for (int fd : idle)
        ::close(fd);
    server->stop(); // twice is harmless

    server->start(port);
    EXPECT_EQ(server->port(), port);
    EXPECT_EQ(get(port, "/earth.htm").status, 200);
}

TEST_F(HttpServerTest, BusyPortThrowsBindException)
{
    CHttpServer second(root.string());
    try {
        second.start(port);
        FAIL() << "bound a port already in use";
    } catch (const MySocketException& e) {
        EXPECT_EQ(e.message(), "Socket Bind!");
        EXPECT_EQ(e.errorNumber(), EADDRINUSE);
        EXPECT_EQ(e.errorText(), "错误：Socket Bind!\n错误号：" + std::to_string(EADDRINUSE));
    }
    EXPECT_FALSE(second.isRunning());
}

} // namespace
