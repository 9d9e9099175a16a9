// orvex serve: runs the ground station's built-in HTTP server on its own, so that the map pages
// can be opened from another computer's browser (and so that the server can be measured).

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolCommand.h"
#include "net/HttpServer.h"

namespace {

std::string executableDirectory()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int runServe(const std::vector<std::string>& args)
{
    std::string root = executableDirectory() + "/html";
    long port = orvex::CHttpServer::kDefaultPort;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--root" || a == "--port") && i + 1 >= args.size())
            return toolUsageError("serve", a + " needs a value");
        if (a == "--root") {
            root = args[++i];
        } else if (a == "--port") {
            const std::string& text = args[++i];
            char* end = nullptr;
            errno = 0;
            port = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno != 0 || port < 0 || port > 65535)
                return toolUsageError("serve", "bad port '" + text + "'");
        } else {
            return toolUsageError("serve", "unknown argument '" + a + "'");
        }
    }
    struct stat st{};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::cerr << "orvex serve: no such directory: " << root << "\n";
        return 1;
    }

    // Ctrl+C and SIGTERM are taken by this thread only; the server's threads inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    orvex::CHttpServer server(root);
    try {
        server.start(static_cast<std::uint16_t>(port));
    } catch (const orvex::MySocketException& e) {
        std::cerr << "orvex serve: " << e.errorText() << "\n";
        return 1;
    }
    std::cout << "serving " << root << " on port " << server.port() << " (Ctrl+C stops)" << std::endl;

    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.stop();
    std::cout << "stopped" << std::endl;
    return 0;
}

CToolCommandRegistration reg{"serve", "serve [--root DIR] [--port N]",
                             "serve the map pages over HTTP (default: html beside the program, port 8001)",
                             &runServe};

} // namespace
