#pragma once
// A tile server on 127.0.0.1 for the map tests: Python's HTTP server over a folder, on a free
// port, writing one line per request ("<path> <User-Agent>") to a log. Stopped by the destructor
// or stop().

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "support/OrvexRun.h"

class CTileServer {
public:
    // Serves `root`; port() is 0 when the server did not start.
    explicit CTileServer(const std::string& root) : m_log(root + "/../tile-server.log")
    {
        static const char* kScript =
            "import http.server,sys,functools\n"
            "class H(http.server.SimpleHTTPRequestHandler):\n"
            "  def log_message(self,*a): pass\n"
            "  def do_GET(self):\n"
            "    open(sys.argv[2],'a').write(self.path+' '+str(self.headers.get('User-Agent'))+'\\n')\n"
            "    super().do_GET()\n"
            "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),functools.partial(H,directory=sys.argv[1]))\n"
            "open(sys.argv[3],'w').write(str(s.server_address[1]))\n"
            "s.serve_forever()\n";
        const std::string portFile = root + "/../tile-server.port";
        std::filesystem::remove(portFile);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("python3", "python3", "-c", kScript, root.c_str(), m_log.c_str(), portFile.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 500 && m_port == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_port = std::atoi(readWholeFile(portFile).c_str());
        }
    }
    ~CTileServer() { stop(); }
    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    int port() const { return m_port; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/{z}/{x}/{y}.png"; }
    std::string log() const { return readWholeFile(m_log); }

private:
    std::string m_log;
    pid_t m_pid = -1;
    int m_port = 0;
};
