// Request parsing and path resolution of the HTTP server on arbitrary bytes: no crash, and a
// resolved path never leaves the document root.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/HttpServer.h"

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view raw(reinterpret_cast<const char*>(data), size);
    CHttpRequest request = parseHttpRequest(raw);
    httpRequestComplete(raw);
    if (request.valid && request.method != "get" && request.method != "post")
        std::abort();
    if (request.body.size() > kHttpRequestLimitBytes || request.contentLength < 0)
        std::abort();

    // Also resolve the whole input as a path, to reach paths the request line cannot carry.
    for (std::string_view path : {std::string_view(request.path), raw}) {
        std::optional<std::string> relative = safeRelativePath(path);
        if (!relative)
            continue;
        const std::string& rel = *relative;
        if (!rel.empty() && (rel.front() == '/' || rel.back() == '/'))
            std::abort();
        if (rel.find('\\') != std::string::npos || rel.find('\0') != std::string::npos)
            std::abort();
        std::size_t start = 0;
        while (start <= rel.size()) {
            std::size_t end = rel.find('/', start);
            std::string_view segment = std::string_view(rel).substr(start, end == std::string::npos ? std::string::npos
                                                                                                   : end - start);
            if (segment == ".." || segment == "." || (segment.empty() && !rel.empty()))
                std::abort();
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }

    std::string location = httpRedirectLocation(request, "127.0.0.1:8001", "lanterna.html");
    if (location.find('\r') != std::string::npos || location.find('\n') != std::string::npos)
        std::abort();
    CHttpRequest withoutHost = request;
    withoutHost.host.clear();
    if (location != httpRedirectLocation(withoutHost, "127.0.0.1:8001", "lanterna.html"))
        std::abort(); // the Host header never steers a redirect
    std::string bare = httpRedirectLocation(request, "", "lanterna.html");
    if (bare.size() > 1 && bare[0] == '/' && (bare[1] == '/' || bare[1] == '\\'))
        std::abort(); // nor does a path that would read as another host
    cgiBodyFromOutput(raw);
    std::string type = cgiContentType(raw);
    if (type.find('\r') != std::string::npos || type.find('\n') != std::string::npos)
        std::abort();
    return 0;
}
