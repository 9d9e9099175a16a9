#pragma once
// A fresh directory under /tmp, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class CTempDir {
public:
    CTempDir()
    {
        char name[] = "/tmp/orvex-app-test-XXXXXX";
        m_path = ::mkdtemp(name) ? name : "/tmp";
        m_path += '/';
    }
    ~CTempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + name; }

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
