#pragma once
// printf-style formatting into std::string. The operator-facing texts of the ground station are
// fixed C format strings ("%d 米", "%.7lf", "#%02d" ...), so they are produced the same way.

#include <cstdarg>
#include <string>

namespace orvex {

std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* format, va_list args);

} // namespace orvex
