#pragma once
// A plain-socket HTTP client for the tests of the built-in server: one request per connection to
// 127.0.0.1, the answer read until the server closes.

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// A connected socket to 127.0.0.1:port, or -1.
inline int httpConnect(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

inline void httpSend(int fd, const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        at += static_cast<std::size_t>(n);
    }
}

// Everything until the server closes or `timeoutMs` passes; `closed` tells which.
inline std::string httpReadAll(int fd, int timeoutMs, bool* closed = nullptr)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (char buf[8192];;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        const ssize_t n = left > 0 && ::poll(&p, 1, static_cast<int>(left)) > 0 ? ::recv(fd, buf, sizeof buf, 0) : -2;
        if (n <= 0) {
            if (closed)
                *closed = n != -2;
            return out;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
}

struct SHttpResponse {
    std::string raw, statusLine, head, body;
    // The value of header line `name` without the blanks after its colon; "" when missing.
    std::string header(const std::string& name) const
    {
        const std::size_t at = head.find("\r\n" + name + ":");
        if (at == std::string::npos)
            return {};
        const std::size_t from = head.find_first_not_of(' ', at + name.size() + 3);
        return head.substr(from, head.find("\r\n", from) - from);
    }
};

inline SHttpResponse httpParse(const std::string& raw)
{
    const std::size_t end = raw.find("\r\n\r\n");
    return {raw, raw.substr(0, raw.find("\r\n")), raw.substr(0, end) + "\r\n",
            end == std::string::npos ? std::string() : raw.substr(end + 4)};
}

inline SHttpResponse httpAsk(std::uint16_t port, const std::string& request, int timeoutMs = 30000)
{
    const int fd = httpConnect(port);
    if (fd < 0)
        return {};
    httpSend(fd, request);
    const std::string raw = httpReadAll(fd, timeoutMs);
    ::close(fd);
    return httpParse(raw);
}

inline SHttpResponse httpGet(std::uint16_t port, const std::string& path, const std::string& host = "127.0.0.1")
{
    return httpAsk(port, "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
}
