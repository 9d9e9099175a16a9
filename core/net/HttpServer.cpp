#include "net/HttpServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Format.h"

extern char** environ;

namespace orvex {

namespace {

constexpr const char* kServerName = "Lanterna HttpServer";
constexpr const char* kNotFoundReason = "未找到";
constexpr const char* kNotFoundDetail = "您要查看的网页可能已被删除、名称已被更改，或者暂时不可用。";
constexpr const char* kInternalErrorReason = "内部错误";
constexpr const char* kInternalErrorDetail = "内部服务器错误！";
constexpr const char* kRedirectReason = "Redirect Page";
constexpr std::size_t kCgiPieceBytes = 1024;
constexpr std::size_t kFileChunkBytes = 64 * 1024;
constexpr std::size_t kCgiFirstLineLimitBytes = 64 * 1024;
constexpr std::size_t kDrainLimitBytes = 256 * 1024;
constexpr int kDrainTimeoutMs = 1000;
constexpr int kCgiPollStepMs = 10;
constexpr int kAcceptRetryMs = 50;

using Clock = std::chrono::steady_clock;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string toLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Where the header block ends and where the body starts; npos when the block has not ended.
std::pair<std::size_t, std::size_t> findHeaderEnd(std::string_view raw)
{
    std::size_t crlf = raw.find("\r\n\r\n");
    std::size_t lf = raw.find("\n\n");
    if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf))
        return {crlf, crlf + 4};
    if (lf != std::string_view::npos)
        return {lf, lf + 2};
    return {std::string_view::npos, std::string_view::npos};
}

long long parseContentLength(std::string_view value)
{
    long long n = 0;
    std::size_t i = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        if (n > 1000000000000LL)
            return 0; // absurd: treated as missing
        n = n * 10 + (value[i] - '0');
    }
    return i == 0 ? 0 : n;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

// Waits until `fd` is ready for `events` or the wake descriptor fires. 1 ready, 0 time-out,
// -1 stopping.
int waitFor(int fd, short events, int wakeFd, int timeoutMs)
{
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            return 0;
        if (wakeFd >= 0 && fds[1].revents)
            return -1;
        return 1;
    }
}

void blockSigpipe()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// "address:port" of this end of a connection: the server as the client reached it.
std::string localAddress(int fd)
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    char text[INET_ADDRSTRLEN] = {};
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) < 0 || addr.sin_family != AF_INET ||
        !::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text))
        return std::string();
    return strprintf("%s:%u", text, unsigned(ntohs(addr.sin_port)));
}

bool isInside(const std::string& path, const std::string& root)
{
    if (root.empty())
        return false;
    if (root == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/';
}

} // namespace

// ---- Pure parts -------------------------------------------------------------------------------

CHttpRequest parseHttpRequest(std::string_view raw)
{
    CHttpRequest r;
    raw = raw.substr(0, std::min(raw.size(), kHttpRequestLimitBytes));
    auto [headerEnd, bodyStart] = findHeaderEnd(raw);
    std::string_view header = headerEnd == std::string_view::npos ? raw : raw.substr(0, headerEnd);
    if (bodyStart != std::string_view::npos)
        r.body = std::string(raw.substr(bodyStart));

    std::size_t eol = header.find('\n');
    std::string_view firstLine = eol == std::string_view::npos ? header : header.substr(0, eol);
    std::string_view rest = eol == std::string_view::npos ? std::string_view() : header.substr(eol + 1);

    // Request line: method, target, version, separated by blanks.
    std::string_view words[3];
    std::size_t pos = 0;
    for (auto& word : words) {
        while (pos < firstLine.size() && (firstLine[pos] == ' ' || firstLine[pos] == '\t' || firstLine[pos] == '\r'))
            ++pos;
        std::size_t start = pos;
        while (pos < firstLine.size() && firstLine[pos] != ' ' && firstLine[pos] != '\t' && firstLine[pos] != '\r')
            ++pos;
        word = firstLine.substr(start, pos - start);
    }
    r.method = toLower(words[0]);
    r.valid = r.method == "get" || r.method == "post";
    r.version = toLower(words[2]);

    std::string_view target = words[1];
    std::size_t question = target.find('?');
    if (question != std::string_view::npos) {
        r.query = std::string(target.substr(question + 1));
        target = target.substr(0, question);
    }
    r.path = std::string(target);
    std::size_t slash = r.path.rfind('/');
    r.directory = slash == std::string::npos ? std::string() : r.path.substr(0, slash + 1);
    if (r.path.find('.') != std::string::npos) {
        r.fileName = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
        std::size_t dot = r.fileName.rfind('.');
        if (dot != std::string::npos)
            r.extension = toLower(std::string_view(r.fileName).substr(dot + 1));
    }

    // Header lines: names compared without regard to case, values trimmed.
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = end == std::string_view::npos ? rest : rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name = toLower(trim(line.substr(0, colon)));
        std::string_view value = trim(line.substr(colon + 1));
        if (name == "host")
            r.host = toLower(value);
        else if (name == "referer")
            r.referer = toLower(value);
        else if (name == "content-length")
            r.contentLength = parseContentLength(value);
    }
    return r;
}

bool httpRequestComplete(std::string_view received)
{
    if (received.size() >= kHttpRequestLimitBytes)
        return true;
    auto [headerEnd, bodyStart] = findHeaderEnd(received);
    if (headerEnd == std::string_view::npos)
        return false;
    CHttpRequest r = parseHttpRequest(received);
    return static_cast<long long>(received.size() - bodyStart) >= r.contentLength;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (c == '\0')
            return std::nullopt;
        out.push_back(c);
    }
    return out;
}

std::optional<std::string> safeRelativePath(std::string_view requestPath)
{
    std::optional<std::string> decoded = percentDecode(requestPath);
    if (!decoded)
        return std::nullopt;
    std::vector<std::string_view> segments;
    std::string_view rest(*decoded);
    while (true) {
        std::size_t sep = rest.find_first_of("/\\");
        std::string_view segment = sep == std::string_view::npos ? rest : rest.substr(0, sep);
        if (segment == "..") {
            if (segments.empty())
                return std::nullopt;
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        if (sep == std::string_view::npos)
            break;
        rest.remove_prefix(sep + 1);
    }
    std::string out;
    for (std::string_view s : segments) {
        if (!out.empty())
            out.push_back('/');
        out.append(s);
    }
    return out;
}

std::string httpDate(std::time_t when)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    gmtime_r(&when, &tm);
    return strprintf("%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7], tm.tm_mday,
                     kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string httpContentType(std::string_view extension)
{
    static const std::pair<std::string_view, const char*> kTypes[] = {
        {"html", kHttpHtmlType},   {"htm", kHttpHtmlType},         {"css", "text/css"},
        {"js", "text/javascript"}, {"json", "application/json"},  {"png", "image/png"},
        {"jpg", "image/jpeg"},     {"jpeg", "image/jpeg"},         {"svg", "image/svg+xml"},
        {"ico", "image/x-icon"},   {"txt", "text/plain; charset=utf-8"},
    };
    for (const auto& [ext, type] : kTypes)
        if (extension == ext)
            return type;
    return "application/octet-stream";
}

std::string httpNormalHeader(int status, const std::string& reason, const std::string& date, long long length,
                             const std::string& contentType)
{
    return strprintf("HTTP/1.1 %d %s\r\nServer: %s\r\nDate: %s\r\nContent-Type: %s\r\n"
                     "Accept-Ranges: bytes\r\nContent-Length: %lld\r\nConnection: close\r\n\r\n",
                     status, reason.c_str(), kServerName, date.c_str(), contentType.c_str(), length);
}

std::string httpRedirectHeader(int status, const std::string& reason, const std::string& date,
                               const std::string& location)
{
    return strprintf("HTTP/1.1 %d %s\r\nServer: %s\r\nDate: %s\r\nLocation:%s\r\nContent-Type: text/html\r\n"
                     "Accept-Ranges: bytes\r\nConnection: close\r\n\r\n",
                     status, reason.c_str(), kServerName, date.c_str(), location.c_str());
}

std::string httpErrorPage(int status, const std::string& reason, const std::string& detail)
{
    return strprintf("<Html>\n<Head><Title>HTTP %d (%s)</Title>\n</Head>\n<Body>\n<h1>%s</h1>\n"
                     "<h2>错误详细描述：%s</h2>\n</Body>\n</Html>",
                     status, reason.c_str(), reason.c_str(), detail.c_str());
}

std::string httpRedirectLocation(const CHttpRequest& request, const std::string& serverAddress,
                                 const std::string& defaultPage)
{
    // The requested directory without its trailing "/", starting with exactly one "/" ("" for the
    // root): a location starting with two slashes, or a slash and a backslash, would name another host.
    std::string dir = request.path;
    while (!dir.empty() && dir.back() == '/')
        dir.pop_back();
    std::size_t start = dir.find_first_not_of("/\\");
    dir = start == std::string::npos ? std::string() : "/" + dir.substr(start);
    // A control character (a NUL above all) never goes into a header line: such a path redirects
    // to the root's page.
    if (std::any_of(dir.begin(), dir.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        dir.clear();
    if (serverAddress.empty())
        return dir + "/" + defaultPage;
    return "http://" + serverAddress + dir + "/" + defaultPage;
}

std::string cgiBodyFromOutput(std::string_view output)
{
    std::size_t eol = output.find('\n');
    if (eol == std::string_view::npos)
        return std::string();
    std::string_view body = output.substr(eol + 1);
    return std::string(body.substr(0, std::min(body.size(), kCgiOutputLimitBytes)));
}

std::string cgiContentType(std::string_view output)
{
    std::size_t eol = output.find('\n');
    if (eol == std::string_view::npos)
        return "text/html";
    std::string_view line = output.substr(0, eol);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || toLower(trim(line.substr(0, colon))) != "content-type")
        return "text/html";
    std::string_view type = trim(line.substr(colon + 1));
    // A type with control characters is not echoed into a header line.
    bool usable = !type.empty() && std::none_of(type.begin(), type.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    return usable ? std::string(type) : std::string("text/html");
}

// ---- The server -------------------------------------------------------------------------------

CHttpServer::CHttpServer(std::string documentRoot, std::string defaultPage, int idleTimeoutMs)
    : m_documentRoot(std::move(documentRoot)), m_defaultPage(std::move(defaultPage)), m_idleTimeoutMs(idleTimeoutMs)
{
}

CHttpServer::~CHttpServer()
{
    stop();
}

int CHttpServer::activeConnections() const
{
    std::lock_guard<std::mutex> lock(m_countMutex);
    return m_active;
}

void CHttpServer::start(std::uint16_t port)
{
    if (m_acceptThread.joinable())
        return;

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw MySocketException(MySocketException::kCreate, errno);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        int err = errno;
        ::close(fd);
        throw MySocketException(MySocketException::kBind, err);
    }
    if (::listen(fd, SOMAXCONN) < 0) {
        int err = errno;
        ::close(fd);
        throw MySocketException(MySocketException::kListen, err);
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) < 0) {
        int err = errno;
        ::close(fd);
        throw MySocketException(MySocketException::kCreate, err);
    }

    m_listenFd = fd;
    m_port = ntohs(addr.sin_port);
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    char* real = ::realpath(m_documentRoot.c_str(), nullptr);
    m_rootReal = real ? std::string(real) : std::string();
    std::free(real);

    // CGI programs get the program's environment as it was at start, plus their own variables.
    m_environment.clear();
    for (char** e = environ; e && *e; ++e) {
        std::string_view v(*e);
        if (v.starts_with("CONTENT_LENGTH=") || v.starts_with("QUERY_STRING=") || v.starts_with("REQUEST_METHOD="))
            continue;
        m_environment.emplace_back(v);
    }

    {
        std::lock_guard<std::mutex> lock(m_countMutex);
        m_active = 0;
        m_idleWorkers = 0;
    }
    m_running = true;
    m_acceptThread = std::thread(&CHttpServer::acceptLoop, this);
}

void CHttpServer::stop()
{
    if (!m_acceptThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_countMutex);
        m_running = false;
    }
    char byte = 'x';
    while (::write(m_wakeWrite, &byte, 1) < 0 && errno == EINTR) {
    }
    m_queueCv.notify_all();
    m_acceptThread.join();
    for (std::thread& worker : m_workers)
        worker.join();
    m_workers.clear();
    for (int fd : m_queue)
        ::close(fd);
    m_queue.clear();
    m_active = 0;
    m_idleWorkers = 0;
    ::close(m_listenFd);
    ::close(m_wakeRead);
    ::close(m_wakeWrite);
    m_listenFd = m_wakeRead = m_wakeWrite = -1;
}

void CHttpServer::acceptLoop()
{
    blockSigpipe();
    while (m_running) {
        int ready = waitFor(m_listenFd, POLLIN, m_wakeRead, -1);
        if (ready < 0)
            break;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                if (waitFor(-1, 0, m_wakeRead, kAcceptRetryMs) < 0)
                    break;
            continue;
        }
        std::unique_lock<std::mutex> lock(m_countMutex);
        if (!m_running) {
            lock.unlock();
            ::close(fd);
            break;
        }
        if (m_active >= kMaxConnections) {
            // Over the limit: not served, closed at once, the count unchanged.
            lock.unlock();
            ::close(fd);
            continue;
        }
        ++m_active;
        m_queue.push_back(fd);
        if (static_cast<int>(m_queue.size()) > m_idleWorkers && m_workers.size() < std::size_t(kMaxConnections)) {
            try {
                m_workers.emplace_back(&CHttpServer::workerLoop, this);
            } catch (const std::exception&) {
                if (m_workers.empty()) { // nobody to serve it
                    m_queue.pop_back();
                    --m_active;
                    lock.unlock();
                    ::close(fd);
                    continue;
                }
            }
        }
        lock.unlock();
        m_queueCv.notify_one();
    }
}

void CHttpServer::workerLoop()
{
    blockSigpipe();
    std::unique_lock<std::mutex> lock(m_countMutex);
    for (;;) {
        ++m_idleWorkers;
        m_queueCv.wait(lock, [this] { return !m_queue.empty() || !m_running; });
        --m_idleWorkers;
        if (!m_running)
            break;
        int fd = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        serveConnection(fd);
        lock.lock();
        if (m_active > 0)
            --m_active;
    }
}

bool CHttpServer::receiveRequest(int fd, std::string& received)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(m_idleTimeoutMs);
    char buf[kHttpRequestLimitBytes];
    while (received.size() < kHttpRequestLimitBytes) {
        int ready = waitFor(fd, POLLIN, m_wakeRead, remainingMs(deadline));
        if (ready < 0)
            return false;
        if (ready == 0) {
            // A header block that has ended is served even if its body never came in full.
            if (findHeaderEnd(received).first != std::string_view::npos)
                return true;
            throw MySocketException(MySocketException::kReceiveTimeout);
        }
        ssize_t n = ::recv(fd, buf, kHttpRequestLimitBytes - received.size(), MSG_DONTWAIT);
        if (n == 0)
            return !received.empty();
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            throw MySocketException(MySocketException::kReceive, errno);
        }
        received.append(buf, static_cast<std::size_t>(n));
        if (httpRequestComplete(received))
            return true;
    }
    return true;
}

void CHttpServer::sendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        int ready = waitFor(fd, POLLOUT, m_wakeRead, kSendTimeoutMs);
        if (ready < 0)
            throw MySocketException(MySocketException::kSend);
        if (ready == 0)
            throw MySocketException(MySocketException::kSendTimeout);
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            throw MySocketException(MySocketException::kSend, errno); // a failed send ends the transfer
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void CHttpServer::sendError(int fd, int status, const char* reason, const char* detail)
{
    std::string body = httpErrorPage(status, reason, detail);
    std::string out =
        httpNormalHeader(status, reason, httpDate(std::time(nullptr)), (long long)body.size(), kHttpHtmlType);
    out += body;
    sendAll(fd, out.data(), out.size());
}

void CHttpServer::sendFile(int fd, int fileFd, long long size, const std::string& contentType)
{
    std::string out = httpNormalHeader(200, "OK", httpDate(std::time(nullptr)), size, contentType);
    std::size_t headerSize = out.size();
    long long left = size;
    bool first = true;
    std::vector<char> chunk;
    while (first || left > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<long long>(left, (long long)kFileChunkBytes));
        const char* data;
        std::size_t count;
        if (first) {
            out.resize(headerSize + want);
            ssize_t n = want ? ::read(fileFd, out.data() + headerSize, want) : 0;
            if (n < 0)
                n = 0;
            out.resize(headerSize + static_cast<std::size_t>(n));
            data = out.data();
            count = out.size();
            left -= n;
            if (n == 0)
                left = 0; // the file shrank: the client sees a short body
        } else {
            chunk.resize(want);
            ssize_t n = ::read(fileFd, chunk.data(), want);
            if (n <= 0)
                break;
            data = chunk.data();
            count = static_cast<std::size_t>(n);
            left -= n;
        }
        first = false;
        sendAll(fd, data, count);
    }
}

void CHttpServer::closeConnection(int fd, bool drain)
{
    int pending = 0;
    if (drain || (::ioctl(fd, FIONREAD, &pending) == 0 && pending > 0)) {
        // Bytes the client sent that were not read would turn the close into a reset, which can
        // destroy the response in flight: finish sending, then read and drop the rest briefly.
        ::shutdown(fd, SHUT_WR);
        auto deadline = Clock::now() + std::chrono::milliseconds(kDrainTimeoutMs);
        std::size_t dropped = 0;
        char buf[4096];
        while (dropped < kDrainLimitBytes && waitFor(fd, POLLIN, m_wakeRead, remainingMs(deadline)) > 0) {
            ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
            if (n > 0)
                dropped += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
}

void CHttpServer::serveConnection(int fd)
{
    bool drain = false;
    try {
        std::string received;
        if (!receiveRequest(fd, received)) {
            ::close(fd);
            return;
        }
        drain = received.size() >= kHttpRequestLimitBytes;
        CHttpRequest request = parseHttpRequest(received);
        if (!request.valid) {
            closeConnection(fd, drain); // neither GET nor POST: no response
            return;
        }

        std::optional<std::string> relative = safeRelativePath(request.path);
        if (!relative) {
            sendError(fd, 404, kNotFoundReason, kNotFoundDetail);
        } else if (request.fileName.empty()) {
            std::string header = httpRedirectHeader(302, kRedirectReason, httpDate(std::time(nullptr)),
                                                     httpRedirectLocation(request, localAddress(fd), m_defaultPage));
            sendAll(fd, header.data(), header.size());
        } else {
            std::string local = m_rootReal + "/" + *relative;
            char* resolved = ::realpath(local.c_str(), nullptr);
            std::string real = resolved ? std::string(resolved) : std::string();
            std::free(resolved);
            int fileFd = -1;
            struct stat st{};
            bool found = !real.empty() && isInside(real, m_rootReal);
            if (found) {
                fileFd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
                if (fileFd < 0)
                    found = errno != ENOENT && errno != ELOOP;
                else if (::fstat(fileFd, &st) < 0 || !S_ISREG(st.st_mode))
                    found = false; // directories, pipes and devices are never served
            }
            if (!found) {
                if (fileFd >= 0)
                    ::close(fileFd);
                sendError(fd, 404, kNotFoundReason, kNotFoundDetail);
            } else if (fileFd < 0) {
                sendError(fd, 500, kInternalErrorReason, kInternalErrorDetail);
            } else if (request.extension == "cgi" || request.extension == "exe") {
                ::close(fileFd);
                std::string output;
                if (!runCgi(real, request, output)) {
                    sendError(fd, 500, kInternalErrorReason, kInternalErrorDetail);
                } else {
                    std::string body = cgiBodyFromOutput(output);
                    std::string header = httpNormalHeader(200, "OK", httpDate(std::time(nullptr)),
                                                          (long long)body.size(), cgiContentType(output));
                    sendAll(fd, header.data(), header.size());
                    for (std::size_t at = 0; at < body.size(); at += kCgiPieceBytes)
                        sendAll(fd, body.data() + at, std::min(kCgiPieceBytes, body.size() - at));
                }
            } else {
                int flags = ::fcntl(fileFd, F_GETFL);
                ::fcntl(fileFd, F_SETFL, flags & ~O_NONBLOCK);
                try {
                    sendFile(fd, fileFd, static_cast<long long>(st.st_size), httpContentType(request.extension));
                } catch (...) {
                    ::close(fileFd);
                    throw;
                }
                ::close(fileFd);
            }
        }
    } catch (const MySocketException&) {
        // The request is abandoned; the connection is still closed below.
        ::close(fd);
        return;
    } catch (const std::exception&) {
        ::close(fd);
        return;
    }
    closeConnection(fd, drain);
}

namespace {

// Starts `program` with the request's CGI environment, its standard input and output on pipes,
// in its own process group and in its own folder. False when it cannot be started.
bool spawnCgi(const std::string& program, const std::vector<std::string>& environment, const CHttpRequest& request,
              pid_t& pid, int& inFd, int& outFd)
{
    // Everything the child needs is prepared before it starts.
    std::vector<std::string> env = environment;
    if (request.contentLength > 0)
        env.push_back(strprintf("CONTENT_LENGTH=%lld", request.contentLength));
    env.push_back("QUERY_STRING=" + request.query);
    env.push_back(request.method == "post" ? "REQUEST_METHOD=POST" : "REQUEST_METHOD=GET");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string programCopy = program;
    char* argv[] = {programCopy.data(), nullptr};
    // A program right under "/" works in "/" (built in one go: GCC 12 warns falsely on assigning "/").
    const std::size_t slash = program.rfind('/');
    const std::string workDir = slash == 0 ? std::string(1, '/') : program.substr(0, slash);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) < 0)
        return false;
    if (::pipe2(out, O_CLOEXEC) < 0) {
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that the program and anything it starts can be killed together;
    // an ordinary signal mask and dispositions whatever this thread uses.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t empty, defaults;
    sigemptyset(&empty);
    posix_spawnattr_setsigmask(&attr, &empty);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGALRM})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);

    const int rc = ::posix_spawn(&pid, programCopy.c_str(), &actions, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    inFd = in[1];
    outFd = out[0];
    return true;
}

// Reads what the program writes on `outFd` while it runs, until it has ended and the pipe is empty
// or the time is up; keeps the first line and at most kCgiOutputLimitBytes after it. True when the
// program ended in time.
bool collectCgiOutput(pid_t pid, int outFd, std::string& raw)
{
    ::fcntl(outFd, F_SETFL, O_NONBLOCK);
    const auto deadline = Clock::now() + std::chrono::milliseconds(CHttpServer::kCgiTimeoutMs);
    bool exited = false;
    bool eof = false;
    char buf[kCgiPieceBytes];
    for (;;) {
        if (!exited) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid)
                exited = true;
        }
        bool gotData = false;
        while (!eof) {
            const ssize_t n = ::read(outFd, buf, sizeof buf);
            if (n == 0) {
                eof = true;
                break;
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            gotData = true;
            const std::size_t eol = raw.find('\n');
            const std::size_t cap =
                eol == std::string::npos ? kCgiFirstLineLimitBytes : eol + 1 + kCgiOutputLimitBytes;
            if (raw.size() < cap)
                raw.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), cap - raw.size()));
        }
        if (exited && (eof || !gotData))
            return true; // ended; a pipe still held open by something it left behind is not waited for
        const int left = remainingMs(deadline);
        if (left <= 0)
            return false;
        if (eof)
            waitFor(-1, 0, -1, std::min(left, kCgiPollStepMs));
        else
            waitFor(outFd, POLLIN, -1, std::min(left, kCgiPollStepMs));
    }
}

} // namespace

bool CHttpServer::runCgi(const std::string& program, const CHttpRequest& request, std::string& output)
{
    std::lock_guard<std::mutex> cgiLock(m_cgiMutex);
    output.clear();
    pid_t pid = -1;
    int in = -1, out = -1;
    if (!spawnCgi(program, m_environment, request, pid, in, out))
        return false;

    // The body goes to its standard input (at most 1000 bytes: fits the pipe), then end of input.
    ::fcntl(in, F_SETFL, O_NONBLOCK);
    if (!request.body.empty()) {
        ssize_t n = ::write(in, request.body.data(), request.body.size());
        (void)n; // a program that does not read its input is its own business
    }
    ::close(in);

    std::string raw;
    const bool exited = collectCgiOutput(pid, out, raw);
    // Nothing of the run survives it: the group is killed (the program too if it overran), then
    // the program is reaped.
    if (!exited)
        ::kill(pid, SIGKILL);
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::close(out);
    if (!exited)
        return false;
    output = std::move(raw);
    return true;
}

} // namespace orvex
