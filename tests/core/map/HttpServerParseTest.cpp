// Request parsing, path resolution and the response texts of the HTTP server, on request bytes
// written out by hand.

#include <gtest/gtest.h>

#include "map/HttpServer.h"
#include "map/MySocketException.h"

using namespace orvex;

TEST(HttpServerParse, RequestLineHeadersAndBody)
{
    const std::string raw = "POST /Sub.Dir/Page.CGI?a=1&B=2 HTTP/1.1\r\n"
                            "Host: LocalHost:8001\r\n"
                            "Referer:  http://X/earth.htm \r\n"
                            "Content-Length: 7\r\n"
                            "\r\n"
                            "Ab=1&c2";
    CHttpRequest r = parseHttpRequest(raw);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.method, "post");
    EXPECT_EQ(r.path, "/Sub.Dir/Page.CGI");
    EXPECT_EQ(r.version, "http/1.1");
    EXPECT_EQ(r.query, "a=1&B=2");
    EXPECT_EQ(r.directory, "/Sub.Dir/");
    EXPECT_EQ(r.fileName, "Page.CGI");
    EXPECT_EQ(r.extension, "cgi");
    EXPECT_EQ(r.host, "localhost:8001");
    EXPECT_EQ(r.referer, "http://x/earth.htm");
    EXPECT_EQ(r.contentLength, 7);
    EXPECT_EQ(r.body, "Ab=1&c2");
}

TEST(HttpServerParse, MethodsOtherThanGetAndPostAreInvalid)
{
    EXPECT_TRUE(parseHttpRequest("GeT / HTTP/1.0\r\n\r\n").valid);
    EXPECT_TRUE(parseHttpRequest("post /x.htm HTTP/1.0\r\n\r\n").valid);
    for (const char* raw : {"PUT /x.htm HTTP/1.1\r\n\r\n", "HEAD / HTTP/1.1\r\n\r\n", "DELETE /x HTTP/1.1\r\n\r\n",
                            "GETX / HTTP/1.1\r\n\r\n", " \r\n\r\n", "", "\x01\x02\xff"})
        EXPECT_FALSE(parseHttpRequest(raw).valid) << raw;
}

TEST(HttpServerParse, DirectoryAndFileNameRules)
{
    CHttpRequest root = parseHttpRequest("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(root.fileName, "");
    EXPECT_EQ(root.directory, "/");

    // No "." anywhere in the path: a directory even without the trailing "/".
    CHttpRequest noDot = parseHttpRequest("GET /maps/tiles HTTP/1.1\r\n\r\n");
    EXPECT_EQ(noDot.fileName, "");

    // The query string does not count when looking for the ".".
    CHttpRequest queryDot = parseHttpRequest("GET /maps?x=1.5 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(queryDot.path, "/maps");
    EXPECT_EQ(queryDot.fileName, "");
    EXPECT_EQ(queryDot.query, "x=1.5");

    CHttpRequest file = parseHttpRequest("GET /earth.htm?x=1 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(file.fileName, "earth.htm");
    EXPECT_EQ(file.extension, "htm");
    EXPECT_EQ(file.directory, "/");

    // A "." only in a directory name: the last element is still taken as the file name.
    CHttpRequest dotDir = parseHttpRequest("GET /v1.2/readme HTTP/1.1\r\n\r\n");
    EXPECT_EQ(dotDir.fileName, "readme");
    EXPECT_EQ(dotDir.extension, "");
    CHttpRequest dotDirSlash = parseHttpRequest("GET /v1.2/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(dotDirSlash.fileName, "");
}

TEST(HttpServerParse, OnlyTheFirstThousandBytesCount)
{
    std::string raw = "GET /earth.htm HTTP/1.1\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'b');
    CHttpRequest r = parseHttpRequest(raw);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.fileName, "earth.htm");
    EXPECT_EQ(r.body.size(), 1000 - (raw.find("\r\n\r\n") + 4));

    // A header beyond the first 1000 bytes is not seen.
    std::string late = "GET /a.htm HTTP/1.1\r\nX: " + std::string(1200, 'p') + "\r\nHost: h\r\n\r\n";
    EXPECT_EQ(parseHttpRequest(late).host, "");
}

TEST(HttpServerParse, ContentLengthGarbageIsZero)
{
    EXPECT_EQ(parseHttpRequest("POST /a.cgi HTTP/1.1\r\nContent-Length: -5\r\n\r\n").contentLength, 0);
    EXPECT_EQ(parseHttpRequest("POST /a.cgi HTTP/1.1\r\nContent-Length: abc\r\n\r\n").contentLength, 0);
    EXPECT_EQ(parseHttpRequest("POST /a.cgi HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n").contentLength,
              0);
    EXPECT_EQ(parseHttpRequest("POST /a.cgi HTTP/1.1\r\ncontent-LENGTH:12\r\n\r\n").contentLength, 12);
}

TEST(HttpServerParse, RequestCompleteness)
{
    EXPECT_FALSE(httpRequestComplete("GET / HTTP/1.1\r\nHost: a"));
    EXPECT_TRUE(httpRequestComplete("GET / HTTP/1.1\r\nHost: a\r\n\r\n"));
    EXPECT_TRUE(httpRequestComplete("GET /\n\n"));
    EXPECT_FALSE(httpRequestComplete("POST /a.cgi HTTP/1.1\r\nContent-Length: 4\r\n\r\nab"));
    EXPECT_TRUE(httpRequestComplete("POST /a.cgi HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd"));
    // A body promised beyond the limit: complete as soon as the limit is reached.
    std::string big = "POST /a.cgi HTTP/1.1\r\nContent-Length: 100000\r\n\r\n";
    EXPECT_FALSE(httpRequestComplete(big));
    EXPECT_TRUE(httpRequestComplete(big + std::string(1000 - big.size(), 'x')));
}

TEST(HttpServerParse, PercentDecoding)
{
    EXPECT_EQ(percentDecode("/a%20b%2Fc%2e"), "/a b/c.");
    EXPECT_EQ(percentDecode("%252e"), "%2e"); // decoded once only
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    EXPECT_FALSE(percentDecode("%"));
    EXPECT_FALSE(percentDecode("%2"));
    EXPECT_FALSE(percentDecode("ab%g1"));
    EXPECT_FALSE(percentDecode("a%00b"));
    EXPECT_FALSE(percentDecode(std::string("a\0b", 3)));
}

TEST(HttpServerParse, SafeRelativePathStaysInsideTheRoot)
{
    EXPECT_EQ(safeRelativePath("/"), "");
    EXPECT_EQ(safeRelativePath("/earth.htm"), "earth.htm");
    EXPECT_EQ(safeRelativePath("//a///b/./c.htm"), "a/b/c.htm");
    EXPECT_EQ(safeRelativePath("/a/../b.htm"), "b.htm");
    EXPECT_EQ(safeRelativePath("/a\\b.htm"), "a/b.htm");
    EXPECT_EQ(safeRelativePath("/%2e%2e%2e/x"), ".../x"); // three dots are an ordinary name
    EXPECT_EQ(safeRelativePath("/%252e%252e/x"), "%2e%2e/x");

    for (const char* escaping : {"/..", "/../x", "/a/../../x", "/%2e%2e/x", "/%2E%2e%2Fx", "/.%2e/x", "/..%5cx",
                                 "\\..\\x", "/a/b/../../../x", "/a%2f..%2f..%2fx", "/x%00.htm", "/%zz"})
        EXPECT_FALSE(safeRelativePath(escaping)) << escaping;
}

TEST(HttpServerParse, DateIsEnglishGmt)
{
    EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(httpDate(1796587032), "Sun, 06 Dec 2026 19:57:12 GMT");
    EXPECT_EQ(httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
}

TEST(HttpServerParse, HeaderTemplatesAndErrorPage)
{
    EXPECT_EQ(httpNormalHeader(200, "OK", "Thu, 01 Jan 1970 00:00:00 GMT", 42),
              "HTTP/1.1 200 OK\r\nServer: Lanterna HttpServer\r\nDate: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
              "Content-Type: text/html\r\nAccept-Ranges: bytes\r\nContent-Length: 42\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(httpRedirectHeader(300, "Redirect Page", "D", "/lanterna.html"),
              "HTTP/1.1 300 Redirect Page\r\nServer: Lanterna HttpServer\r\nDate: D\r\nLocation:/lanterna.html\r\n"
              "Content-Type: text/html\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(httpErrorPage(404, "未找到", "细节"),
              "<Html>\n<Head><Title>HTTP 404 (未找到)</Title>\n</Head>\n<Body>\n<h1>未找到</h1>\n"
              "<h2>错误详细描述：细节</h2>\n</Body>\n</Html>");
}

TEST(HttpServerParse, RedirectLocationForms)
{
    auto loc = [](const char* raw) { return httpRedirectLocation(parseHttpRequest(raw), "lanterna.html"); };
    EXPECT_EQ(loc("GET / HTTP/1.1\r\nHost: 127.0.0.1:8001\r\n\r\n"), "http://127.0.0.1:8001/lanterna.html");
    EXPECT_EQ(loc("GET /maps/ HTTP/1.1\r\nHost: h\r\n\r\n"), "http://h/maps/lanterna.html");
    EXPECT_EQ(loc("GET /maps HTTP/1.1\r\nHost: h\r\n\r\n"), "http://h/maps/lanterna.html");
    EXPECT_EQ(loc("GET / HTTP/1.0\r\n\r\n"), "/lanterna.html");
    EXPECT_EQ(loc("GET /maps/ HTTP/1.0\r\n\r\n"), "/maps/lanterna.html");
    EXPECT_EQ(loc("GET /maps/ HTTP/1.1\r\nHost: a\rSet-Cookie: x\r\n\r\n"), "/maps/lanterna.html");
}

TEST(HttpServerParse, CgiOutputAfterFirstLineCapped)
{
    EXPECT_EQ(cgiBodyFromOutput("Content-Type: text/html\n\nhello"), "\nhello");
    EXPECT_EQ(cgiBodyFromOutput("no newline at all"), "");
    EXPECT_EQ(cgiBodyFromOutput(""), "");
    std::string big = "first\n" + std::string(7000, 'z');
    EXPECT_EQ(cgiBodyFromOutput(big), std::string(5000, 'z'));
}

TEST(HttpServerParse, SocketExceptionTexts)
{
    MySocketException bind(MySocketException::kBind, 98);
    EXPECT_EQ(bind.message(), "Socket Bind!");
    EXPECT_EQ(bind.errorNumber(), 98);
    EXPECT_EQ(bind.errorText(), "错误：Socket Bind!\n错误号：98");
    EXPECT_STREQ(bind.what(), "错误：Socket Bind!\n错误号：98");
    MySocketException timeout(MySocketException::kReceiveTimeout);
    EXPECT_EQ(timeout.errorText(), "错误：Socket Recieve timeout!");
}
