// The HTTP server on a free loopback port, driven by a real client written on plain sockets: the
// file system side (the root, links, CGI programs), the connection limit, time-outs and stopping.
// What a browser sees in the answers (content types, the redirect, the error pages' charset) is
// tested against `orvex serve` in tests/tools.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
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

const char* kSecret = "SECRET-OUTSIDE-THE-ROOT";
const std::string kEarth = "<html><body>地图</body></html>\n";

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

void sendText(int fd, const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        at += static_cast<std::size_t>(n);
    }
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
        ssize_t n = left > 0 && ::poll(&p, 1, left) > 0 ? ::recv(fd, buf, sizeof buf, 0) : -2;
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (closed)
            *closed = n != -2;
        return out;
    }
}

struct Response {
    std::string raw, statusLine, body;
    std::map<std::string, std::string> headers; // value after ": "
};

Response parse(const std::string& raw)
{
    Response r{raw, raw.substr(0, raw.find("\r\n")), "", {}};
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return r;
    r.body = raw.substr(end + 4);
    static const std::regex line("\r\n([^:\r]+): ?([^\r]*)");
    std::string head = raw.substr(0, end);
    for (std::sregex_iterator it(head.begin(), head.end(), line), stop; it != stop; ++it)
        r.headers[(*it)[1]] = (*it)[2];
    return r;
}

Response roundTrip(std::uint16_t port, const std::string& request, int timeoutMs = 5000)
{
    int fd = connectTo(port);
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
    CTempDir::write(path.string(), content);
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
    std::string text = CTempDir::read("/proc/" + std::to_string(pid) + "/stat");
    std::size_t paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? 0 : text[paren + 2];
}

// Waits (bounded) until the server serves exactly `count` connections.
bool waitForActive(const CHttpServer& server, int count)
{
    for (auto deadline = Clock::now() + std::chrono::seconds(30); Clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (server.activeConnections() == count)
            return true;
    return false;
}

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = base / "html";
        fs::create_directories(root / "sub");
        const auto exec = fs::perms::owner_all;
        writeFile(root / "earth.htm", kEarth);
        writeFile(root / "sub" / "page.htm", "sub page");
        writeFile(root / "big.bin", std::string(8 << 20, 'B'));
        writeFile(base / "secret.txt", kSecret);
        writeFile(base / "evil.cgi", "#!/bin/sh\ntouch " + (base / "ran-outside").string() + "\necho x\necho " +
                                         kSecret + "\n", exec);
        fs::create_symlink(base / "secret.txt", root / "out.htm");
        fs::create_symlink(base, root / "outdir");
        fs::create_symlink(base / "evil.cgi", root / "evil.cgi");
        fs::create_symlink(root / "earth.htm", root / "inside.htm");
        writeFile(root / "hello.cgi",
                  "#!/bin/sh\necho 'Content-Type: text/plain'\necho \"len=$CONTENT_LENGTH\"\n"
                  "echo \"query=$QUERY_STRING\"\necho \"method=$REQUEST_METHOD\"\necho \"dir=$(pwd)\"\n"
                  "printf 'body='\ncat\n",
                  exec);
        writeFile(root / "flood.cgi", "#!/bin/sh\necho first\nhead -c 200000 /dev/zero | tr '\\0' x\n", exec);
        writeFile(root / "hang.cgi",
                  "#!/bin/sh\necho $$ > " + (base / "hang.pid").string() + "\nsleep 30 &\necho $! > " +
                      (base / "sleep.pid").string() + "\necho started\nwait\n",
                  exec);
        writeFile(root / "oneline.exe", "#!/bin/sh\nprintf 'only a first line'\n", exec);

        threadsBefore = threadCount();
        server = std::make_unique<CHttpServer>(root.string());
        server->start(0);
        port = server->port();
        ASSERT_NE(port, 0);
    }

    void TearDown() override
    {
        server.reset();
        EXPECT_EQ(threadCount(), threadsBefore) << "server threads left behind";
    }

    void expectNotFound(const Response& r, const std::string& what)
    {
        EXPECT_EQ(r.statusLine, "HTTP/1.1 404 未找到") << what;
        EXPECT_EQ(r.body, httpErrorPage(404, "未找到", "您要查看的网页可能已被删除、名称已被更改，或者暂时不可用。"))
            << what;
        EXPECT_EQ(r.headers.at("Content-Length"), std::to_string(r.body.size())) << what;
        EXPECT_EQ(r.raw.find(kSecret), std::string::npos) << what;
    }

    CTempDir tmp{"orvex-http"};
    fs::path base = fs::canonical(tmp.dir());
    fs::path root;
    std::unique_ptr<CHttpServer> server;
    std::uint16_t port = 0;
    int threadsBefore = 0;
};

TEST_F(HttpServerTest, ServesWholeFilesWithDateAndLength)
{
    Response r = get(port, "/earth.htm?x=1");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.body, kEarth);
    EXPECT_EQ(r.headers["Content-Length"], std::to_string(kEarth.size()));
    std::tm tm{};
    ASSERT_NE(::strptime(r.headers["Date"].c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm), nullptr) << r.raw;
    EXPECT_LE(std::llabs((long long)(::timegm(&tm) - std::time(nullptr))), 60);

    EXPECT_EQ(roundTrip(port, "post /sub/page.htm HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc").body, "sub page");
    EXPECT_EQ(get(port, "/sub/../earth.htm").body, kEarth); // ".." that stays inside is fine
    EXPECT_EQ(get(port, "/inside.htm").body, kEarth);       // a link that stays inside too
    EXPECT_EQ(get(port, "/big.bin").body.size(), std::size_t(8 << 20));
}

TEST_F(HttpServerTest, MissingFilesGet404AndUnreadableOnes500)
{
    fs::create_directory(root / "dir.d");
    for (const char* path : {"/nosuch.htm", "/sub/nosuch.htm", "/dir.d"}) // a directory is no file
        expectNotFound(get(port, path), path);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeFile(root / "locked.htm", "x", fs::perms::none);
    Response r = get(port, "/locked.htm");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_EQ(r.body, httpErrorPage(500, "内部错误", "内部服务器错误！"));
}

TEST_F(HttpServerTest, OtherMethodsAreClosedWithoutResponse)
{
    for (const char* request : {"PUT /earth.htm HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", "HEAD / HTTP/1.1\r\n\r\n",
                                "DELETE /earth.htm HTTP/1.1\r\n\r\n", "\r\n\r\n"}) {
        int fd = connectTo(port);
        sendText(fd, request);
        bool closed = false;
        EXPECT_EQ(readAll(fd, 5000, &closed), "") << request;
        EXPECT_TRUE(closed) << request;
        ::close(fd);
    }
}

TEST_F(HttpServerTest, OversizedRequestsAreParsedFromTheirFirstThousandBytes)
{
    // The response arrives whole despite the unread rest of the request.
    EXPECT_EQ(roundTrip(port, "GET /earth.htm HTTP/1.1\r\nX-Pad: " + std::string(200000, 'p') + "\r\n\r\n").body, kEarth);
    expectNotFound(roundTrip(port, "GET /sub.d/" + std::string(3000, 'a') + ".htm HTTP/1.1\r\n\r\n"), "long path");
}

TEST_F(HttpServerTest, NoWayOutOfTheRoot)
{
    for (const char* path :
         {"/../secret.txt", "/../../../../../../etc/passwd", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
          "/.%2e/secret.txt", "/%2e./secret.txt", "/..%2fsecret.txt", "/%2e%2e%2fsecret.txt", "/..%5csecret.txt",
          "/..\\secret.txt", "\\..\\secret.txt", "/sub/../../secret.txt", "/sub/%2e%2e/%2e%2e/secret.txt",
          "/%252e%252e/secret.txt", "/etc/ld.so.conf", "//etc/ld.so.conf", "/%2fetc%2fld.so.conf", "/out.htm",
          "/outdir/secret.txt", "/outdir/html/../secret.txt", "/..%00/secret.txt", "/secret.txt%00.htm",
          "http://127.0.0.1/../secret.txt", "/../", "/%2e%2e/", "/evil.cgi", "/outdir/evil.cgi", "/../evil.cgi"})
        expectNotFound(get(port, path), path);
    EXPECT_FALSE(fs::exists(base / "ran-outside")) << "a program outside the root was run";

    CHttpServer noRoot((base / "no-such-folder").string());
    noRoot.start(0);
    expectNotFound(get(noRoot.port(), "/etc/ld.so.conf"), "missing root");
}

TEST_F(HttpServerTest, CgiGetsLengthQueryBodyAndItsDirectoryAndNamesItsType)
{
    Response r = roundTrip(port, "POST /hello.cgi?x=1&y=2 HTTP/1.1\r\nHost: h\r\nContent-Length: 7\r\n\r\na=1&b=2");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.body, "len=7\nquery=x=1&y=2\nmethod=POST\ndir=" + root.string() + "\nbody=a=1&b=2");
    EXPECT_EQ(r.headers["Content-Length"], std::to_string(r.body.size()));
    EXPECT_EQ(r.headers["Content-Type"], "text/plain"); // as its first line says
    // Without a body the length is not set at all.
    EXPECT_EQ(get(port, "/hello.cgi").body, "len=\nquery=\nmethod=GET\ndir=" + root.string() + "\nbody=");

    Response flood = get(port, "/flood.cgi");
    EXPECT_EQ(flood.body, std::string(5000, 'x'));
    EXPECT_EQ(flood.headers["Content-Type"], "text/html");
    Response oneLine = get(port, "/oneline.exe");
    EXPECT_EQ(oneLine.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(oneLine.body, "");
}

TEST_F(HttpServerTest, HungCgiIsKilledAndReaped)
{
    Response r = roundTrip(port, "GET /hang.cgi HTTP/1.1\r\n\r\n", 15000); // it would run 30 s
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_EQ(r.body.find("started"), std::string::npos);
    pid_t program = std::atoi(CTempDir::read((base / "hang.pid").string()).c_str());
    pid_t child = std::atoi(CTempDir::read((base / "sleep.pid").string()).c_str());
    ASSERT_GT(program, 0);
    ASSERT_GT(child, 0);
    EXPECT_EQ(processState(program), 0) << "the program is gone and reaped";
    // What it started was killed with it (it may linger as a zombie of its new parent).
    char state = processState(child);
    for (int i = 0; i < 500 && state != 0 && state != 'Z'; ++i, state = processState(child))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(state == 0 || state == 'Z') << state;
    EXPECT_EQ(get(port, "/hello.cgi").statusLine, "HTTP/1.1 200 OK") << "the CGI lock was released";
}

TEST_F(HttpServerTest, IdleConnectionsAreClosedAfterTheTimeOutAndAShortBodyIsServed)
{
    CHttpServer quick(root.string(), CHttpServer::kDefaultPage, 200);
    quick.start(0);
    std::vector<int> idle;
    for (int i = 0; i < CHttpServer::kMaxConnections; ++i)
        idle.push_back(connectTo(quick.port()));
    for (int fd : idle) {
        bool closed = false;
        EXPECT_EQ(readAll(fd, 5000, &closed), "");
        EXPECT_TRUE(closed) << "an idle connection kept its place";
        ::close(fd);
    }
    EXPECT_TRUE(waitForActive(quick, 0));
    // A header block that has ended is served even when its body never comes in full.
    Response r = roundTrip(quick.port(), "POST /hello.cgi HTTP/1.1\r\nContent-Length: 50\r\n\r\nabc");
    EXPECT_NE(r.body.find("len=50\n"), std::string::npos) << r.raw;
    EXPECT_NE(r.body.find("body=abc"), std::string::npos) << r.raw;
}

TEST_F(HttpServerTest, ConnectionsBeyondTheLimitAreClosedAtOnce)
{
    std::vector<int> fds;
    for (int i = 0; i < 150; ++i)
        fds.push_back(connectTo(port));
    ASSERT_TRUE(waitForActive(*server, CHttpServer::kMaxConnections));
    // The fifty beyond the limit are closed without being asked anything.
    int closedEarly = 0;
    for (auto deadline = Clock::now() + std::chrono::seconds(30); closedEarly < 50 && Clock::now() < deadline;) {
        std::vector<pollfd> polls;
        for (int fd : fds)
            polls.push_back({fd, POLLIN, 0});
        ::poll(polls.data(), polls.size(), 50);
        closedEarly = 0;
        for (const pollfd& p : polls)
            closedEarly += p.revents != 0;
    }
    EXPECT_EQ(closedEarly, 50);
    EXPECT_EQ(server->activeConnections(), CHttpServer::kMaxConnections);

    int served = 0, refused = 0;
    for (int fd : fds)
        sendText(fd, "GET /earth.htm HTTP/1.1\r\n\r\n");
    for (int fd : fds) {
        std::string raw = readAll(fd, 20000);
        served += parse(raw).body == kEarth;
        refused += raw.empty();
        ::close(fd);
    }
    EXPECT_EQ(served, 100);
    EXPECT_EQ(refused, 50);
    EXPECT_TRUE(waitForActive(*server, 0));
}

TEST_F(HttpServerTest, ClientVanishingMidTransferDoesNotHurtTheServer)
{
    // The test process keeps the default SIGPIPE action: a send without MSG_NOSIGNAL would kill it.
    ASSERT_EQ(::signal(SIGPIPE, SIG_DFL), SIG_DFL);
    for (int i = 0; i < 5; ++i) {
        int fd = connectTo(port);
        sendText(fd, "GET /big.bin HTTP/1.1\r\n\r\n");
        char buf[1024];
        ASSERT_GT(::recv(fd, buf, sizeof buf, 0), 0);
        linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    EXPECT_EQ(get(port, "/earth.htm").body, kEarth);
    EXPECT_TRUE(waitForActive(*server, 0));
}

TEST_F(HttpServerTest, StopDoesNotWaitForIdleConnectionsAndRestartWorks)
{
    CHttpServer patient(root.string(), CHttpServer::kDefaultPage, 3600 * 1000);
    patient.start(0);
    const std::uint16_t patientPort = patient.port();
    std::vector<int> idle;
    for (int i = 0; i < 20; ++i)
        idle.push_back(connectTo(patientPort));
    ASSERT_TRUE(waitForActive(patient, 20));
    auto stopped = std::async(std::launch::async, [&] { patient.stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "stop waits for the idle";
    EXPECT_FALSE(patient.isRunning());
    EXPECT_EQ(connectTo(patientPort), -1) << "nothing listens after stop";
    for (int fd : idle)
        ::close(fd);
    patient.stop(); // twice is harmless

    patient.start(patientPort);
    EXPECT_EQ(get(patientPort, "/earth.htm").body, kEarth);
}

TEST_F(HttpServerTest, BusyPortThrowsBindException)
{
    CHttpServer second(root.string());
    try {
        second.start(port);
        FAIL() << "bound a port already in use";
    } catch (const MySocketException& e) {
        EXPECT_EQ(e.errorText(), "错误：Socket Bind!\n错误号：" + std::to_string(EADDRINUSE));
    }
    EXPECT_FALSE(second.isRunning());
}

} // namespace
