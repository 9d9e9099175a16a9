#include "base/AppPaths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

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
      m_programFilesDir(programFilesDirFor(m_executableDir)),
      m_homeDir(homeDir.empty() ? defaultHomeDir(m_executableDir, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"))
                                : asDirectory(homeDir))
{
}

std::string CAppPaths::programFilesDirFor(const std::string& executableDir)
{
    const std::string exe = asDirectory(executableDir);
    std::error_code ec;
    if (std::filesystem::is_directory(exe + "html", ec))
        return exe;
    const std::string installed = asDirectory(exe + "../share/orvex");
    if (std::filesystem::is_directory(installed + "html", ec))
        return installed;
    return exe;
}

std::string CAppPaths::defaultHomeDir(const std::string& executableDir, const char* xdgDataHome, const char* userHome)
{
    const std::string exe = asDirectory(executableDir);
    if (programFilesDirFor(exe) == exe && userMayWrite(exe))
        return exe;
    // Only an absolute XDG_DATA_HOME counts; a relative one is ignored as if unset.
    if (xdgDataHome && xdgDataHome[0] == '/')
        return asDirectory(std::string(xdgDataHome) + "/orvex");
    std::string home = userHome ? userHome : "";
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    return asDirectory(home + "/.local/share/orvex");
}

bool CAppPaths::userMayWrite(const std::string& dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // access() covers read-only mounts and access lists; the bits are read as well because root
    // passes access() whatever they say.
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return false;
    if (st.st_uid == ::geteuid())
        return (st.st_mode & S_IWUSR) != 0;
    bool inGroup = st.st_gid == ::getegid();
    if (!inGroup) {
        const int n = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(n > 0 ? static_cast<size_t>(n) : 0);
        if (n > 0 && ::getgroups(n, groups.data()) == n)
            for (gid_t g : groups)
                inGroup = inGroup || g == st.st_gid;
    }
    return (st.st_mode & (inGroup ? S_IWGRP : S_IWOTH)) != 0;
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
