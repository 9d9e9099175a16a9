#include "app/AppPaths.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace orvex {

std::string CAppPaths::asDirectory(const std::string& dir)
{
    if (dir.empty())
        return "./";
    std::error_code ec;
    std::string out = std::filesystem::absolute(dir, ec).lexically_normal().string();
    if (ec)
        out = dir;
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

std::string CAppPaths::runningExecutableDir()
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        return "./";
    buffer.resize(static_cast<size_t>(n));
    const size_t slash = buffer.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return buffer.substr(0, slash + 1);
}

CAppPaths::CAppPaths(const std::string& homeDir)
    : CAppPaths(runningExecutableDir(), homeDir)
{
}

CAppPaths::CAppPaths(const std::string& executableDir, const std::string& homeDir)
    : m_executableDir(asDirectory(executableDir)),
      m_homeDir(homeDir.empty() ? m_executableDir : asDirectory(homeDir))
{
}

bool CAppPaths::ensureHomeDir() const
{
    std::error_code ec;
    std::filesystem::create_directories(m_homeDir, ec);
    return std::filesystem::is_directory(m_homeDir, ec);
}

bool CAppPaths::takeHomeOption(std::vector<std::string>& args, std::string& home, std::string& error)
{
    std::vector<std::string> rest;
    std::string found;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--home") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--home needs a directory";
                return false;
            }
            found = args[++i];
        } else if (a.rfind("--home=", 0) == 0) {
            if (a.size() == 7) {
                error = "--home needs a directory";
                return false;
            }
            found = a.substr(7);
        } else {
            rest.push_back(a);
        }
    }
    args = std::move(rest);
    if (!found.empty())
        home = found;
    return true;
}

} // namespace orvex
