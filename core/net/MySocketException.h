#pragma once
// The one exception the core lets out of its interface: a failure of one of the HTTP server's
// sockets. It carries the operation's fixed message and the system's error number.

#include <exception>
#include <string>

namespace orvex {

class MySocketException : public std::exception {
public:
    // Fixed messages of the socket operations.
    static constexpr const char* kCreate = "Socket Create!";
    static constexpr const char* kBind = "Socket Bind!";
    static constexpr const char* kListen = "Socket Listen!";
    static constexpr const char* kReceiveTimeout = "Socket Recieve timeout!";
    static constexpr const char* kReceive = "Socket Receive!";
    static constexpr const char* kSendTimeout = "Socket Send timeout!";
    static constexpr const char* kSend = "Socket Send!";
    static constexpr const char* kClose = "Socket Close!";

    explicit MySocketException(std::string message, int errorNumber = 0);

    const std::string& message() const { return m_message; }
    int errorNumber() const { return m_errorNumber; }
    // "错误：<message>\n错误号：<number>", or "错误：<message>" when the number is 0.
    const std::string& errorText() const { return m_errorText; }
    const char* what() const noexcept override { return m_errorText.c_str(); }

private:
    std::string m_message;
    int m_errorNumber;
    std::string m_errorText;
};

} // namespace orvex
