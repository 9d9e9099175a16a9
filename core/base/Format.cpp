#include "base/Format.h"

#include <cstdio>
#include <vector>

namespace orvex {

std::string vstrprintf(const char* format, va_list args)
{
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

std::string strprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = vstrprintf(format, args);
    va_end(args);
    return out;
}

bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out)
{
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buffer[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out.append(buffer, n);
        if (out.size() > maxBytes) {
            ok = false;
            break;
        }
    }
    if (std::ferror(f))
        ok = false;
    std::fclose(f);
    return ok;
}

} // namespace orvex
