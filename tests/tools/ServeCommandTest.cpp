// `orvex serve` run as the operator runs it: its options, the port it reports, its stop on SIGTERM
// and its start page in a headless browser. What the server answers is tested in tests/core/net.
#include "support/HttpClient.h"
#include "support/OrvexRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Generous bounds: the machine running the tests may be busy (sanitizer builds, two cores).
constexpr auto kBound = std::chrono::seconds(60);

class ServeCommand : public ::testing::Test {
  protected:
    void TearDown() override
    {
        if (pid > 0) { // a failed test must not leave the server running
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // `orvex serve` of the directory on a free port, its standard output in `outPath`; the port it
    // reports, 0 when it reports none.
    int serve()
    {
        std::string args[] = {std::string(ORVEX_BIN_DIR) + "/orvex", "serve", "--root", dir.string(), "--port", "0"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(), args[5].data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return 0;
        for (auto deadline = Clock::now() + kBound; Clock::now() < deadline; ::usleep(20000)) {
            const std::string out = CTempDir::read(outPath);
            const std::size_t at = out.find(" on port ");
            if (at != std::string::npos && out.find('\n', at) != std::string::npos)
                return std::atoi(out.c_str() + at + 9);
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1; // gone without serving
                return 0;
            }
        }
        return 0;
    }

    CTempDir tmp{"orvex-serve"};
    fs::path dir = tmp.dir();
    std::string outPath = tmp.file("out.txt");
    pid_t pid = -1;
};

TEST_F(ServeCommand, ServesItsRootOnTheReportedPortAndStopsOnSigterm)
{
    CTempDir::write((dir / "a.htm").string(), "bytes of a 地图\n");
    const int port = serve();
    ASSERT_GT(port, 0) << "port 0 asks for a free port; the real one must be reported";
    EXPECT_EQ(httpGet(port, "/a.htm").body, "bytes of a 地图\n");

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    bool ended = false;
    for (auto deadline = Clock::now() + kBound; !ended && Clock::now() < deadline; ::usleep(20000))
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
    ASSERT_TRUE(ended) << "orvex serve did not stop after SIGTERM";
    pid = -1;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(CTempDir::read(outPath).find("stopped\n"), std::string::npos);
}

TEST_F(ServeCommand, HeadlessBrowserShowsTheStartPageStyledByItsStylesheet)
{
    if (::access("/usr/bin/chromium", X_OK) != 0)
        GTEST_SKIP() << "/usr/bin/chromium is not installed (scripts/install-deps installs it)";
    // "/" redirects to the start page. The built start page carries its style inline; this one
    // takes it from a stylesheet, which a browser applies only when it comes as text/css, and
    // names the colour it got in its title.
    CTempDir::write((dir / "lanterna.html").string(),
                    "<!DOCTYPE html>\n<html><head><link rel=\"stylesheet\" href=\"look.css\"></head><body><script>"
                    "document.title = getComputedStyle(document.body).backgroundColor</script></body></html>\n");
    CTempDir::write((dir / "look.css").string(), "body { background: #2a7d4f; }\n");
    const int port = serve();
    ASSERT_GT(port, 0);
    const std::string dom = (dir / "dom.html").string();
    const std::string command =
        "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
        (dir / "profile").string() + " --dump-dom http://127.0.0.1:" + std::to_string(port) + "/ >" + dom +
        " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_NE(CTempDir::read(dom).find("<title>rgb(42, 125, 79)</title>"), std::string::npos) << CTempDir::read(dom);
}

// The root is missing in every case, so a bad argument let through ends the program with 1 rather
// than leaving a server running.
TEST(ServeCommandArguments, BadArgumentsExitWithTwoBeforeServing)
{
    CTempDir tmp;
    const std::pair<std::string, int> cases[] = {
        {"--port 65536", 2}, {"--port -1", 2}, {"--port 80x", 2}, {"--port", 2}, {"--bogus", 2}, {"--port 0", 1},
    };
    for (const auto& [args, exitCode] : cases)
        EXPECT_EQ(runOrvex("serve --root /nonexistent/orvex-serve-root " + args, tmp.dir()).status, exitCode) << args;
}

} // namespace
