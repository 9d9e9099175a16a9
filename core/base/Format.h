#pragma once
// printf-style formatting into std::string, and reading a small file whole. The operator-facing
// texts of the ground station are fixed C format strings ("%d 米", "%.7lf", "#%02d" ...), so they
// are produced the same way.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace orvex {

std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* format, va_list args);

// The whole file at `path` into `out`; false when it cannot be opened or read, or when it is larger
// than maxBytes (then it is not the kind of file the caller reads).
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out);

} // namespace orvex
