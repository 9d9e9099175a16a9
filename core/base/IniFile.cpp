#include "base/IniFile.h"

#include "base/Format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

constexpr size_t kMaxFileBytes = 16u * 1024u * 1024u; // a settings file is a few kilobytes

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// "[name]" (blanks around allowed; a missing "]" takes the rest of the line).
bool sectionName(std::string_view line, std::string_view& name)
{
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[')
        return false;
    t.remove_prefix(1);
    const size_t close = t.find(']');
    name = trim(close == std::string_view::npos ? t : t.substr(0, close));
    return true;
}

// "key=value": the key is the trimmed text before the first '='.
bool keyName(std::string_view line, std::string_view& key)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trim(line.substr(0, eq));
    return true;
}

std::string_view valueText(std::string_view line)
{
    std::string_view v = trim(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string gb18030ToUtf8(std::string_view bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark the rest as unreadable.
        std::string out;
        for (char c : bytes)
            out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : std::string("\xEF\xBF\xBD");
        return out;
    }
    std::string out;
    std::vector<char> in(bytes.begin(), bytes.end());
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // Invalid or truncated sequence: replace one byte and go on.
            out += "\xEF\xBF\xBD";
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

bool writeAll(int fd, std::string_view data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

bool CIniFile::isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        unsigned int cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0u) != 0x80u)
                return false;
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string CIniFile::decodeText(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return gb18030ToUtf8(bytes);
}

bool CIniFile::load()
{
    m_lines.clear();
    m_crlf = true;
    std::string bytes;
    if (!readWholeFile(m_path, kMaxFileBytes, bytes))
        return false; // missing, unreadable, or too large to be a settings file
    parse(bytes);
    return true;
}

void CIniFile::parse(std::string_view fileBytes)
{
    m_lines.clear();
    // The mark is kept so that a rewrite reads back the same: without it, text after a second mark
    // at the start of the file would become the first line's own text and change its meaning.
    m_bom = fileBytes.substr(0, 3) == "\xEF\xBB\xBF";
    const std::string text = decodeText(fileBytes);
    size_t lf = 0, crlf = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool hasEnd = end != std::string::npos;
        if (!hasEnd)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            ++crlf;
        } else if (hasEnd) {
            ++lf;
        }
        m_lines.push_back(std::move(line));
        start = end + 1;
    }
    m_crlf = !(lf > crlf);
}

CIniFile::CKeyLocation CIniFile::locate(std::string_view section, std::string_view key) const
{
    CKeyLocation loc;
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string_view name;
        if (sectionName(m_lines[i], name)) {
            if (inSection) {
                loc.sectionEnd = i;
                return loc;
            }
            if (!loc.sectionFound && equalsNoCase(name, wantedSection)) {
                loc.sectionFound = true;
                loc.sectionLine = i;
                inSection = true;
            }
            continue;
        }
        if (inSection && !loc.keyFound && keyName(m_lines[i], name) && equalsNoCase(name, wantedKey)) {
            loc.keyFound = true;
            loc.keyLine = i;
        }
    }
    loc.sectionEnd = m_lines.size();
    return loc;
}

std::optional<std::string> CIniFile::value(std::string_view section, std::string_view key) const
{
    const CKeyLocation loc = locate(section, key);
    if (!loc.keyFound)
        return std::nullopt;
    return std::string(valueText(m_lines[loc.keyLine]));
}

void CIniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    std::string line(trim(key));
    line += '=';
    for (char c : value)
        line += (c == '\r' || c == '\n') ? ' ' : c;

    const CKeyLocation loc = locate(section, key);
    if (loc.keyFound) {
        m_lines[loc.keyLine] = std::move(line);
        return;
    }
    if (loc.sectionFound) {
        // After the section's last non-blank line, so that blank separators stay in place.
        size_t at = loc.sectionEnd;
        while (at > loc.sectionLine + 1 && trim(m_lines[at - 1]).empty())
            --at;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        return;
    }
    m_lines.push_back("[" + std::string(trim(section)) + "]");
    m_lines.push_back(std::move(line));
}

bool CIniFile::removeValue(std::string_view section, std::string_view key)
{
    const CKeyLocation loc = locate(section, key);
    if (!loc.keyFound)
        return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(loc.keyLine));
    return true;
}

std::string CIniFile::text() const
{
    const char* eol = m_crlf ? "\r\n" : "\n";
    std::string out = m_bom ? "\xEF\xBB\xBF" : "";
    for (const std::string& line : m_lines) {
        out += line;
        out += eol;
    }
    return out;
}

bool CIniFile::save() const
{
    return writeFileAtomically(m_path, text());
}

bool writeFileAtomically(const std::string& path, std::string_view data)
{
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string tmpl = path + ".tmpXXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    // Keep the permissions of the file being replaced; a new file gets rw-r--r--.
    struct stat st {};
    const mode_t mode = (::stat(path.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, data);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace orvex
