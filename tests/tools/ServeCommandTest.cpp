// `orvex serve` run as the operator runs it: the program reports the port it really bound, answers
// a browser's request over a real socket, and stops cleanly on SIGTERM.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Generous bounds: the machine running the tests may be busy (sanitizer builds, two cores).
constexpr auto kStartBound = std::chrono::seconds(60);
constexpr auto kIoBound = std::chrono::seconds(30);

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
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

    // Starts `orvex serve` with `args`, its standard output on a pipe.
    void start(const std::vector<std::string>& args)
    {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string exe = std::string(ORVEX_BIN_DIR) + "/orvex";
        std::vector<std::string> all{exe, "serve"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        outFd = fds[0];
    }

    // Reads standard output until it holds `text` followed by a line end (or the pipe closes, or
    // the bound passes); what follows `text` on that line goes to `rest`.
    bool readUntil(const std::string& text, std::string& rest, std::chrono::seconds bound)
    {
        const auto deadline = Clock::now() + bound;
        for (;;) {
            const std::size_t at = out.find(text);
            const std::size_t eol = at == std::string::npos ? at : out.find('\n', at);
            if (eol != std::string::npos) {
                rest = out.substr(at + text.size(), eol - at - text.size());
                return true;
            }
            pollfd p{outFd, POLLIN, 0};
            if (::poll(&p, 1, remainingMs(deadline)) <= 0)
                return false;
            char buf[512];
            const ssize_t n = ::read(outFd, buf, sizeof buf);
            if (n <= 0)
                return false;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Waits for the server to end; the exit status as waitpid gives it, -1 when it did not end.
    int waitExit(std::chrono::seconds bound)
    {
        const auto deadline = Clock::now() + bound;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                return status;
            }
            ::usleep(20000);
        }
        return -1;
    }

    CTempDir tmp{"orvex-serve"};
    fs::path dir = tmp.dir();
    pid_t pid = -1;
    int outFd = -1;
    std::string out;
};

// One request over a fresh connection to 127.0.0.1:port; the whole answer (the server closes).
std::string httpGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            const auto deadline = Clock::now() + kIoBound;
            for (;;) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, remainingMs(deadline)) <= 0)
                    break;
                char buf[4096];
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                answer.append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    ::close(fd);
    return answer;
}

TEST_F(ServeCommand, ReportsTheBoundPortServesFilesAndStopsOnSigterm)
{
    const std::string body = "<html><body>map page 地图</body></html>\n";
    {
        std::ofstream f(dir / "page.html", std::ios::binary);
        f << body;
    }
    start({"--root", dir.string(), "--port", "0"});

    std::string rest;
    ASSERT_TRUE(readUntil(" on port ", rest, kStartBound)) << "output so far: " << out;
    ASSERT_FALSE(rest.empty());
    ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(rest[0]))) << out;
    const int port = std::stoi(rest);
    ASSERT_GT(port, 0) << "port 0 asks for a free port; the real one must be reported";
    ASSERT_LE(port, 65535);

    const std::string answer = httpGet(port, "/page.html");
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_NE(answer.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos) << answer;
    const std::size_t headEnd = answer.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos) << answer;
    EXPECT_EQ(answer.substr(headEnd + 4), body);

    const std::string missing = httpGet(port, "/no-such-page.html");
    EXPECT_EQ(missing.rfind("HTTP/1.1 404", 0), 0u) << missing;

    // Nothing outside the root, however the path is spelled.
    const std::string outside = httpGet(port, "/../../../../etc/passwd");
    EXPECT_EQ(outside.find("root:"), std::string::npos) << outside;

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const int status = waitExit(kStartBound);
    ASSERT_NE(status, -1) << "orvex serve did not stop after SIGTERM";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(readUntil("stopped", rest, kIoBound)) << out;

    // The port is free again once the program has gone.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(probe, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_NE(::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(probe);
}

TEST_F(ServeCommand, RejectsBadArgumentsWithoutServing)
{
    struct SCase {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<SCase> cases = {
        {{"--port", "65536"}, 2},
        {{"--port", "-1"}, 2},
        {{"--port", "80x"}, 2},
        {{"--port"}, 2},
        {{"--bogus"}, 2},
        {{"--root", "/nonexistent/orvex-serve-root", "--port", "0"}, 1},
    };
    for (const auto& c : cases) {
        out.clear();
        if (outFd >= 0)
            ::close(outFd);
        outFd = -1;
        start(c.args);
        const int status = waitExit(kStartBound);
        ASSERT_NE(status, -1) << "still running with " << c.args[0];
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << "arguments starting " << c.args[0] << " " << c.args.back();
        std::string rest;
        EXPECT_FALSE(readUntil(" on port ", rest, std::chrono::seconds(5))) << out;
    }
}

} // namespace
