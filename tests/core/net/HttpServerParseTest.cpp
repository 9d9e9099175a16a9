// Request parsing, path resolution and the response texts of the HTTP server, on request bytes
// written out by hand.

#include <gtest/gtest.h>

#include "net/HttpServer.h"
#include "net/MySocketException.h"

using namespace orvex;

TEST(HttpServerParse, RequestLineHeadersAndBody)
{
    CHttpRequest r = parseHttpRequest("POST /Sub.Dir/Page.CGI?a=1&B=2 HTTP/1.1\r\nHost: LocalHost:8001\r\n"
                                      "Referer:  http://X/earth.htm \r\nContent-Length: 7\r\n\r\nAb=1&c2");
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.method, "post");
    EXPECT_EQ(r.path, "/Sub.Dir/Page.CGI");
    EXPECT_EQ(r.version, "http/1.1");
    EXPECT_EQ(r.query, "a=1&B=2");
    EXPECT_EQ(r.directory, "/Sub.Dir/");
    EXPECT_EQ(r.host, "localhost:8001");
    EXPECT_EQ(r.referer, "http://x/earth.htm");
    EXPECT_EQ(r.contentLength, 7);
    EXPECT_EQ(r.body, "Ab=1&c2");
}

TEST(HttpServerParse, MethodFileNameAndExtension)
{
    struct SCase {
        const char* requestLine;
        bool valid;
        const char* fileName;
        const char* extension;
    };
    const SCase cases[] = {
        {"GeT / HTTP/1.0", true, "", ""},             {"post /x.htm HTTP/1.0", true, "x.htm", "htm"},
        {"GET /maps/tiles HTTP/1.1", true, "", ""},   // no "." anywhere: a directory
        {"GET /maps?x=1.5 HTTP/1.1", true, "", ""},   // a "." in the query does not count
        {"GET /v1.2/readme HTTP/1.1", true, "readme", ""}, // a "." in a directory name does
        {"GET /v1.2/ HTTP/1.1", true, "", ""},        {"GET /A.Tar.GZ HTTP/1.1", true, "A.Tar.GZ", "gz"},
        {"PUT /x.htm HTTP/1.1", false, "x.htm", "htm"}, {"HEAD / HTTP/1.1", false, "", ""},
        {"GETX / HTTP/1.1", false, "", ""},
    };
    for (const SCase& c : cases) {
        CHttpRequest r = parseHttpRequest(std::string(c.requestLine) + "\r\n\r\n");
        EXPECT_EQ(r.valid, c.valid) << c.requestLine;
        EXPECT_EQ(r.fileName, c.fileName) << c.requestLine;
        EXPECT_EQ(r.extension, c.extension) << c.requestLine;
    }
}

TEST(HttpServerParse, OnlyTheFirstThousandBytesCount)
{
    std::string raw = "GET /earth.htm HTTP/1.1\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'b');
    EXPECT_EQ(parseHttpRequest(raw).body.size(), 1000 - (raw.find("\r\n\r\n") + 4));
    std::string late = "GET /a.htm HTTP/1.1\r\nX: " + std::string(1200, 'p') + "\r\nHost: h\r\n\r\n";
    EXPECT_EQ(parseHttpRequest(late).host, "");
    for (const char* value : {"-5", "abc", "99999999999999999999"})
        EXPECT_EQ(parseHttpRequest(std::string("POST /a.cgi HTTP/1.1\r\nContent-Length: ") + value + "\r\n\r\n")
                      .contentLength, 0) << value;
    EXPECT_EQ(parseHttpRequest("POST /a.cgi HTTP/1.1\r\ncontent-LENGTH:12\r\n\r\n").contentLength, 12);
}

TEST(HttpServerParse, RequestCompleteness)
{
    const std::string big = "POST /a.cgi HTTP/1.1\r\nContent-Length: 100000\r\n\r\n";
    const std::pair<std::string, bool> cases[] = {
        {"GET / HTTP/1.1\r\nHost: a", false},
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", true},
        {"GET /\n\n", true},
        {"POST /a.cgi HTTP/1.1\r\nContent-Length: 4\r\n\r\nab", false},
        {"POST /a.cgi HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd", true},
        {big, false},
        {big + std::string(1000 - big.size(), 'x'), true}, // a body beyond the limit: complete at the limit
    };
    for (const auto& [raw, complete] : cases)
        EXPECT_EQ(httpRequestComplete(raw), complete) << raw;
}

TEST(HttpServerParse, SafeRelativePathsAreDecodedOnceAndStayInsideTheRoot)
{
    const std::pair<const char*, const char*> inside[] = {
        {"/", ""}, {"/earth.htm", "earth.htm"}, {"//a///b/./c.htm", "a/b/c.htm"}, {"/a/../b.htm", "b.htm"},
        {"/a\\b.htm", "a/b.htm"}, {"/%2e%2e%2e/x", ".../x"}, {"/%252e%252e/x", "%2e%2e/x"}, // decoded once
        {"/a%20b%2Fc+d", "a b/c+d"},
    };
    for (const auto& [path, relative] : inside)
        EXPECT_EQ(safeRelativePath(path), relative) << path;
    for (const char* escaping : {"/..", "/../x", "/a/../../x", "/%2e%2e/x", "/%2E%2e%2Fx", "/.%2e/x", "/..%5cx",
                                 "\\..\\x", "/a/b/../../../x", "/a%2f..%2f..%2fx", "/x%00.htm", "/%zz", "/x%2", "/x%"})
        EXPECT_FALSE(safeRelativePath(escaping)) << escaping;
}

TEST(HttpServerParse, ContentTypeByExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"html", kHttpHtmlType}, {"htm", kHttpHtmlType}, {"css", "text/css"}, {"js", "text/javascript"},
        {"json", "application/json"}, {"png", "image/png"}, {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},
        {"svg", "image/svg+xml"}, {"ico", "image/x-icon"}, {"txt", "text/plain; charset=utf-8"},
        {"gz", "application/octet-stream"}, {"", "application/octet-stream"},
    };
    for (const auto& [extension, type] : cases)
        EXPECT_EQ(httpContentType(extension), type) << extension;
}

TEST(HttpServerParse, DateHeadersAndErrorPage)
{
    EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    EXPECT_EQ(httpNormalHeader(200, "OK", "D", 42, "text/css"),
              "HTTP/1.1 200 OK\r\nServer: Lanterna HttpServer\r\nDate: D\r\n"
              "Content-Type: text/css\r\nAccept-Ranges: bytes\r\nContent-Length: 42\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(httpRedirectHeader(302, "Redirect Page", "D", "/lanterna.html"),
              "HTTP/1.1 302 Redirect Page\r\nServer: Lanterna HttpServer\r\nDate: D\r\nLocation:/lanterna.html\r\n"
              "Content-Type: text/html\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(httpErrorPage(404, "未找到", "细节"),
              "<Html>\n<Head><Title>HTTP 404 (未找到)</Title>\n</Head>\n<Body>\n<h1>未找到</h1>\n"
              "<h2>错误详细描述：细节</h2>\n</Body>\n</Html>");
    EXPECT_STREQ(MySocketException(MySocketException::kReceiveTimeout).what(), "错误：Socket Recieve timeout!");
}

TEST(HttpServerParse, RedirectLocationFormsNeverUseTheHostHeader)
{
    struct SCase {
        std::string request;
        const char* server;
        const char* location;
    };
    using namespace std::string_literals;
    const SCase cases[] = {
        {"GET /\0evil.example/ HTTP/1.1\r\n\r\n"s, "", "/lanterna.html"}, // not "//lanterna.html"
        {"GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n", "10.0.0.2:8001", "http://10.0.0.2:8001/lanterna.html"},
        {"GET /maps/ HTTP/1.1\r\nHost: evil.example\r\n\r\n", "10.0.0.2:8001", "http://10.0.0.2:8001/maps/lanterna.html"},
        {"GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n", "", "/lanterna.html"},
        {"GET //evil.example/ HTTP/1.1\r\n\r\n", "", "/evil.example/lanterna.html"},
        {"GET /\\evil.example/ HTTP/1.1\r\n\r\n", "", "/evil.example/lanterna.html"},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(httpRedirectLocation(parseHttpRequest(c.request), c.server, "lanterna.html"), c.location)
            << c.request;
}

TEST(HttpServerParse, CgiOutputBodyAndContentType)
{
    struct SCase {
        std::string output, body, type;
    };
    const SCase cases[] = {
        {"Content-Type: text/html\n\nhello", "\nhello", "text/html"},
        {"content-type:  text/plain; charset=utf-8 \r\nok", "ok", "text/plain; charset=utf-8"},
        {"Status: 200\nok", "ok", "text/html"},
        {"Content-Type: \x01x\nok", "ok", "text/html"},
        {"Content-Type: text/plain", "", "text/html"}, // no line end: no first line, no body
        {"", "", "text/html"},
        {"first\n" + std::string(7000, 'z'), std::string(5000, 'z'), "text/html"},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(cgiBodyFromOutput(c.output), c.body) << c.output.substr(0, 40);
        EXPECT_EQ(cgiContentType(c.output), c.type) << c.output.substr(0, 40);
    }
}
