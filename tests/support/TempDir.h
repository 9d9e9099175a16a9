#pragma once
// A fresh directory under /tmp, removed with everything in it when the owner goes away.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class CTempDir {
public:
    explicit CTempDir(const std::string& prefix = "orvex-test")
    {
        std::string name = "/tmp/" + prefix + "-XXXXXX";
        m_path = ::mkdtemp(name.data()) ? name : "/tmp";
        m_path += '/';
    }
    ~CTempDir()
    {
        if (m_path == "/tmp/")
            return;
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // The directory, with a trailing '/'.
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + name; }
    // The directory without the trailing '/'.
    std::filesystem::path dir() const { return m_path.substr(0, m_path.size() - 1); }

    static void write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};
