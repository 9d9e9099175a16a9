// The HTTP server on a free loopback port, driven by a real client written on plain sockets: the
// answers, the file system side (the root, links, CGI programs), the connection limit, time-outs
// and stopping.

#include "support/HttpClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <iterator>
#include <thread>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "net/HttpServer.h"

using namespace orvex;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kSecret = "SECRET-OUTSIDE-THE-ROOT";
const std::string kEarth = "<html><body>地图</body></html>\n";

void writeFile(const fs::path& path, const std::string& content, fs::perms perms = fs::perms::owner_read)
{
    CTempDir::write(path.string(), content);
    fs::permissions(path, perms);
}

long threadCount()
{
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
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
    }

    void TearDown() override
    {
        server.reset();
        EXPECT_EQ(threadCount(), threadsBefore) << "server threads left behind";
    }

    void expectNotFound(const SHttpResponse& r, const std::string& what)
    {
        EXPECT_EQ(r.statusLine, "HTTP/1.1 404 未找到") << what;
        EXPECT_EQ(r.body, httpErrorPage(404, "未找到", "您要查看的网页可能已被删除、名称已被更改，或者暂时不可用。"))
            << what;
        EXPECT_EQ(r.header("Content-Length"), std::to_string(r.body.size())) << what;
        EXPECT_EQ(r.header("Content-Type"), kHttpHtmlType) << what; // error pages say their charset
        EXPECT_EQ(r.raw.find(kSecret), std::string::npos) << what;
    }

    CTempDir tmp{"orvex-http"};
    fs::path base = fs::canonical(tmp.dir());
    fs::path root;
    std::unique_ptr<CHttpServer> server;
    std::uint16_t port = 0;
    long threadsBefore = 0;
};

TEST_F(HttpServerTest, ServesWholeFilesInsideTheRootOnlyWithTypeDateAndLength)
{
    SHttpResponse r = httpGet(port, "/earth.htm?x=1");
    EXPECT_EQ(r.body, kEarth);
    EXPECT_EQ(r.header("Content-Type"), kHttpHtmlType);
    std::tm tm{};
    ASSERT_NE(::strptime(r.header("Date").c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm), nullptr) << r.raw;
    EXPECT_LE(std::llabs((long long)(::timegm(&tm) - std::time(nullptr))), 60);

    EXPECT_EQ(httpAsk(port, "post /sub/page.htm HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc").body, "sub page");
    EXPECT_EQ(httpGet(port, "/sub/../earth.htm").body, kEarth); // ".." that stays inside is fine
    EXPECT_EQ(httpGet(port, "/inside.htm").body, kEarth);       // a link that stays inside too
    // Only the first thousand bytes are parsed (HttpServerParse); the rest left unread must not turn
    // the close into a reset that drops the answer still being sent.
    const std::string oversized = "GET /big.bin HTTP/1.1\r\nX-Pad: " + std::string(200000, 'p') + "\r\n\r\n";
    EXPECT_EQ(httpAsk(port, oversized).body.size(), std::size_t(8 << 20));

    // A folder redirects to its default page on this server whatever the host says (the forms of
    // the location are httpRedirectLocation's, HttpServerParse).
    r = httpGet(port, "/sub/", "evil.example");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 302 Redirect Page");
    EXPECT_EQ(r.header("Location"), "http://127.0.0.1:" + std::to_string(port) + "/sub/lanterna.html");

    // Missing files and every way out of the root get 404. The encodings of ".." are
    // safeRelativePath's (HttpServerParse); here what the server adds.
    fs::create_directory(root / "dir.d");
    for (const char* path : {"/nosuch.htm", "/sub/nosuch.htm", "/dir.d" /* a directory is no file */, "/../secret.txt",
                             "/%2e%2e/secret.txt", "/%252e%252e/secret.txt", "/etc/ld.so.conf", "//etc/ld.so.conf",
                             "/out.htm", "/outdir/secret.txt", "/outdir/html/../secret.txt", "/secret.txt%00.htm",
                             "http://127.0.0.1/../secret.txt", "/../", "/evil.cgi", "/outdir/evil.cgi", "/../evil.cgi"})
        expectNotFound(httpGet(port, path), path);
    EXPECT_FALSE(fs::exists(base / "ran-outside")) << "a program outside the root was run";

    CHttpServer noRoot((base / "no-such-folder").string());
    noRoot.start(0); // nothing at all is served
    expectNotFound(httpGet(noRoot.port(), "/etc/ld.so.conf"), "missing root");
}

TEST_F(HttpServerTest, OtherMethodsAreClosedWithoutResponse)
{
    for (const char* request : {"PUT /earth.htm HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", "HEAD / HTTP/1.1\r\n\r\n",
                                "DELETE /earth.htm HTTP/1.1\r\n\r\n", "\r\n\r\n"}) {
        int fd = httpConnect(port);
        httpSend(fd, request);
        bool closed = false;
        EXPECT_EQ(httpReadAll(fd, 5000, &closed), "") << request;
        EXPECT_TRUE(closed) << request;
        ::close(fd);
    }
}

TEST_F(HttpServerTest, CgiGetsLengthQueryBodyAndItsDirectoryNamesItsTypeAndIsKilledWhenItHangs)
{
    SHttpResponse r = httpAsk(port, "POST /hello.cgi?x=1&y=2 HTTP/1.1\r\nHost: h\r\nContent-Length: 7\r\n\r\na=1&b=2");
    EXPECT_EQ(r.body, "len=7\nquery=x=1&y=2\nmethod=POST\ndir=" + root.string() + "\nbody=a=1&b=2");
    EXPECT_EQ(r.header("Content-Length"), std::to_string(r.body.size()));
    EXPECT_EQ(r.header("Content-Type"), "text/plain"); // as its first line says
    // Without a body the length is not set at all.
    EXPECT_EQ(httpGet(port, "/hello.cgi").body, "len=\nquery=\nmethod=GET\ndir=" + root.string() + "\nbody=");

    EXPECT_EQ(httpGet(port, "/flood.cgi").body, std::string(5000, 'x'));
    EXPECT_EQ(httpGet(port, "/oneline.exe").body, "") << "run, not sent as a file";
    // A program that cannot be started and a file that cannot be read (root reads every file).
    writeFile(root / "noexec.cgi", "#!/bin/sh\necho x\n");
    writeFile(root / "locked.htm", "x", fs::perms::none);
    for (const char* path : {"/noexec.cgi", ::geteuid() == 0 ? "/noexec.cgi" /* again */ : "/locked.htm"}) {
        r = httpGet(port, path);
        EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误") << path;
        EXPECT_EQ(r.body, httpErrorPage(500, "内部错误", "内部服务器错误！")) << path;
    }

    // A hung program is killed and reaped.
    r = httpAsk(port, "GET /hang.cgi HTTP/1.1\r\n\r\n", 15000); // it would run 30 s
    EXPECT_EQ(r.statusLine, "HTTP/1.1 500 内部错误");
    EXPECT_EQ(r.body.find("started"), std::string::npos);
    pid_t program = std::atoi(CTempDir::read((base / "hang.pid").string()).c_str());
    pid_t child = std::atoi(CTempDir::read((base / "sleep.pid").string()).c_str());
    ASSERT_TRUE(program > 0 && child > 0);
    EXPECT_EQ(processState(program), 0) << "the program is gone and reaped";
    // What it started was killed with it (it may linger as a zombie of its new parent).
    char state = processState(child);
    for (int i = 0; i < 500 && state != 0 && state != 'Z'; ++i, state = processState(child))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(state == 0 || state == 'Z') << state;
    EXPECT_EQ(httpGet(port, "/hello.cgi").statusLine, "HTTP/1.1 200 OK") << "the CGI lock was released";
}

TEST_F(HttpServerTest, IdleConnectionsAreClosedAfterTheTimeOutAndAShortBodyIsServed)
{
    CHttpServer quick(root.string(), CHttpServer::kDefaultPage, 200);
    quick.start(0);
    std::vector<int> idle(CHttpServer::kMaxConnections);
    for (int& fd : idle)
        fd = httpConnect(quick.port());
    for (int fd : idle) {
        bool closed = false;
        EXPECT_EQ(httpReadAll(fd, 5000, &closed), "");
        EXPECT_TRUE(closed) << "an idle connection kept its place";
        ::close(fd);
    }
    EXPECT_TRUE(waitForActive(quick, 0));
    // A header block that has ended is served even when its body never comes in full.
    SHttpResponse r = httpAsk(quick.port(), "POST /hello.cgi HTTP/1.1\r\nContent-Length: 50\r\n\r\nabc");
    EXPECT_NE(r.body.find("len=50\n"), std::string::npos) << r.raw;
    EXPECT_NE(r.body.find("body=abc"), std::string::npos) << r.raw;
}

TEST_F(HttpServerTest, ConnectionsBeyondTheLimitAreClosedAtOnceAndVanishingClientsAreDropped)
{
    std::vector<int> fds(150);
    for (int& fd : fds)
        fd = httpConnect(port);
    ASSERT_TRUE(waitForActive(*server, CHttpServer::kMaxConnections));
    // The fifty beyond the limit are closed at once, before they ask anything.
    auto closedCount = [&] {
        std::vector<pollfd> polls;
        for (int fd : fds)
            polls.push_back({fd, POLLIN, 0});
        ::poll(polls.data(), polls.size(), 50);
        return std::count_if(polls.begin(), polls.end(), [](const pollfd& p) { return p.revents != 0; });
    };
    for (auto deadline = Clock::now() + std::chrono::seconds(30); closedCount() < 50 && Clock::now() < deadline;) {
    }
    EXPECT_EQ(closedCount(), 50);
    int served = 0, refused = 0;
    for (int fd : fds)
        httpSend(fd, "GET /earth.htm HTTP/1.1\r\n\r\n");
    for (int fd : fds) {
        std::string raw = httpReadAll(fd, 20000);
        served += httpParse(raw).body == kEarth;
        refused += raw.empty();
        ::close(fd);
    }
    EXPECT_EQ(served, 100);
    EXPECT_EQ(refused, 50);

    // Clients vanishing mid-transfer do not hurt the server. The test process keeps the default
    // SIGPIPE action: a send without MSG_NOSIGNAL would kill it.
    ASSERT_EQ(::signal(SIGPIPE, SIG_DFL), SIG_DFL);
    for (int i = 0; i < 5; ++i) {
        int fd = httpConnect(port);
        httpSend(fd, "GET /big.bin HTTP/1.1\r\n\r\n");
        char buf[1024];
        ASSERT_GT(::recv(fd, buf, sizeof buf, 0), 0);
        linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    EXPECT_EQ(httpGet(port, "/earth.htm").body, kEarth);
    EXPECT_TRUE(waitForActive(*server, 0));
}

TEST_F(HttpServerTest, StopDoesNotWaitForIdleConnectionsRestartWorksAndABusyPortThrows)
{
    CHttpServer patient(root.string(), CHttpServer::kDefaultPage, 3600 * 1000);
    patient.start(0);
    const std::uint16_t patientPort = patient.port();
    std::vector<int> idle(20);
    for (int& fd : idle)
        fd = httpConnect(patientPort);
    ASSERT_TRUE(waitForActive(patient, 20));
    auto stopped = std::async(std::launch::async, [&] { patient.stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "stop waits for the idle";
    EXPECT_FALSE(patient.isRunning());
    EXPECT_EQ(httpConnect(patientPort), -1) << "nothing listens after stop";
    for (int fd : idle)
        ::close(fd);
    patient.stop(); // twice is harmless

    patient.start(patientPort);
    EXPECT_EQ(httpGet(patientPort, "/earth.htm").body, kEarth);

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
