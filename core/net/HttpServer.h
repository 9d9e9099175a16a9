#pragma once
// The "Lanterna HttpServer": a small HTTP/1.1 server that serves the program's html directory
// to the embedded browser and to any other client. Static files (with a content type chosen by
// the file's extension), a 302 redirect to the default page for directory requests, and
// ".cgi"/".exe" programs run as CGI.
//
// One accept thread hands connections to up to 100 worker threads, one connection per thread at
// a time; a connection beyond the 100 being served is closed at once. Nothing outside the
// document root is ever served or run: a path that leaves it ("..", percent-encoded or not,
// backslashes, symbolic links pointing out) is answered with the 404 page.
//
//   CHttpServer server(exeDir + "/html");
//   server.start();            // port 8001; throws MySocketException ("Socket Bind!" ...)
//   ...
//   server.stop();             // joins every thread; the destructor stops too
//
// The request parsing and path resolution are pure functions below so that they can be tested
// and fuzzed on their own.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/MySocketException.h"

namespace orvex {

// ---- Request parsing and response texts (pure) ----------------------------------------------

constexpr std::size_t kHttpRequestLimitBytes = 1000; // a request is parsed from its first 1000 bytes
constexpr std::size_t kCgiOutputLimitBytes = 5000;   // CGI output kept after its first line

struct CHttpRequest {
    bool valid = false;       // method is GET or POST
    std::string method;       // lower case: "get" or "post"
    std::string path;         // as received, query string split off
    std::string version;      // "http/1.1" (lower case)
    std::string query;        // the text after "?"
    std::string fileName;     // text after the last "/" when the path contains a "."; else empty
    std::string extension;    // text after the last "." of the file name, lower case
    std::string directory;    // the path up to and including its last "/"
    std::string host;         // value of the "host:" line (lower case, trimmed)
    std::string referer;      // value of the "referer:" line (lower case, trimmed)
    long long contentLength = 0; // value of "content-length:", 0 when missing or not a number
    std::string body;         // bytes after the empty line, as received
};

// Parses the first bytes received on a connection (only the first kHttpRequestLimitBytes count).
CHttpRequest parseHttpRequest(std::string_view raw);

// True when `received` holds a whole request: the header block has ended and the body promised
// by its content length has arrived (or the limit has been reached).
bool httpRequestComplete(std::string_view received);

// Decodes %XX escapes once; nullopt for a malformed escape or an encoded NUL byte.
std::optional<std::string> percentDecode(std::string_view text);

// Turns a request path into a path relative to the document root: decoded once, "\" taken as a
// separator like "/", "." and empty segments dropped, ".." taking one segment back. nullopt when
// the path would leave the root, is malformed or holds a NUL. "" is the root itself.
std::optional<std::string> safeRelativePath(std::string_view requestPath);

// "Sun, 06 Dec 2026 19:57:12 GMT", always in English whatever the locale.
std::string httpDate(std::time_t when);

// The content type a file is sent with, by its lower-case extension: browsers ignore a
// stylesheet or script that arrives under another type. Unknown kinds are
// "application/octet-stream".
std::string httpContentType(std::string_view extension);
constexpr const char* kHttpHtmlType = "text/html; charset=utf-8"; // pages, error pages

// The two header templates. Both end with "Connection: close": every connection serves one
// request, and HTTP/1.1 clients must be told so or they may send a second request that is lost.
std::string httpNormalHeader(int status, const std::string& reason, const std::string& date, long long length,
                             const std::string& contentType);
std::string httpRedirectHeader(int status, const std::string& reason, const std::string& date,
                               const std::string& location);
std::string httpErrorPage(int status, const std::string& reason, const std::string& detail);

// Where a directory request is sent: the default page inside the requested directory, on
// `serverAddress` ("address:port" of the server as the client reached it). The request's Host
// header is never used: a client must not be able to steer the redirect elsewhere. With no
// server address the location is the path alone.
std::string httpRedirectLocation(const CHttpRequest& request, const std::string& serverAddress,
                                 const std::string& defaultPage);

// The part of a CGI program's output that is sent: everything after its first line, at most
// kCgiOutputLimitBytes.
std::string cgiBodyFromOutput(std::string_view output);
// The content type of a CGI answer: what a first line "Content-Type: <type>" says, else text/html.
std::string cgiContentType(std::string_view output);

// ---- The server -------------------------------------------------------------------------------

class CHttpServer {
public:
    static constexpr std::uint16_t kDefaultPort = 8001;
    static constexpr int kMaxConnections = 100;
    static constexpr int kIdleTimeoutMs = 10000;  // default longest wait for a request's bytes
    static constexpr int kSendTimeoutMs = 10000;  // longest wait for the socket to take a piece
    static constexpr int kCgiTimeoutMs = 1000;    // a CGI program must finish within this
    static constexpr const char* kDefaultPage = "lanterna.html";

    explicit CHttpServer(std::string documentRoot, std::string defaultPage = kDefaultPage,
                         int idleTimeoutMs = kIdleTimeoutMs);
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Binds all local addresses on `port` (0: any free port), listens and starts the accept
    // thread. Throws MySocketException with "Socket Create!", "Socket Bind!" or "Socket Listen!".
    // Starting a running server does nothing.
    void start(std::uint16_t port = kDefaultPort);
    // Stops accepting, wakes every waiting connection, and joins all threads. A CGI program still
    // running is killed. Safe to call more than once.
    void stop();

    bool isRunning() const { return m_running.load(); }
    std::uint16_t port() const { return m_port; }           // the bound port while running
    int activeConnections() const;                          // connections being served
    const std::string& documentRoot() const { return m_documentRoot; }

private:
    void acceptLoop();
    void workerLoop();
    void serveConnection(int fd);
    bool receiveRequest(int fd, std::string& received);
    void sendAll(int fd, const char* data, std::size_t size);
    void sendFile(int fd, int fileFd, long long size, const std::string& contentType);
    void sendError(int fd, int status, const char* reason, const char* detail);
    // Runs a CGI program; false when it could not be run or did not finish in time.
    bool runCgi(const std::string& program, const CHttpRequest& request, std::string& output);
    void closeConnection(int fd, bool drain);

    std::string m_documentRoot;
    std::string m_rootReal; // the document root with every link resolved, fixed at start
    std::string m_defaultPage;
    int m_idleTimeoutMs;
    std::vector<std::string> m_environment; // the program's environment, captured at start

    std::atomic<bool> m_running{false};
    std::uint16_t m_port = 0;
    int m_listenFd = -1;
    int m_wakeRead = -1; // readable once stop() begins: wakes every waiting thread
    int m_wakeWrite = -1;

    std::thread m_acceptThread;
    std::vector<std::thread> m_workers; // grown by the accept thread, joined by stop()

    mutable std::mutex m_countMutex; // guards the count, the queue and the idle-worker count
    std::condition_variable m_queueCv;
    std::deque<int> m_queue;
    int m_active = 0;
    int m_idleWorkers = 0;

    std::mutex m_cgiMutex; // one CGI program at a time
};

} // namespace orvex
