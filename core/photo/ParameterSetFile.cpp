#include "photo/ParameterSetFile.h"

#include "base/Format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

namespace {

constexpr int kLineLengths[8] = {6, 9, 10, 10, 10, 10, 11, 12};

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

} // namespace

std::string parameterSetText(const std::array<std::uint8_t, 78>& values)
{
    std::string text;
    std::size_t at = 0;
    for (int n : kLineLengths) {
        for (int i = 0; i < n; ++i) {
            if (i > 0) text += ' ';
            text += std::to_string(unsigned(values[at++]));
        }
        text += '\n';
    }
    return text;
}

CParameterSetFile::SResult CParameterSetFile::write(const SParameterSnapshot& snapshot)
{
    SResult result;
    const std::string temp = m_path + ".tmp";
    auto fail = [&](int error) {
        result.message = strprintf("无法保存参数文件 %s：%s", m_path.c_str(), std::strerror(error));
        return result;
    };
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail(errno);
    const bool ok = writeAll(fd, parameterSetText(snapshot.values)) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !ok) {
        const int e = ok ? errno : writeError;
        ::unlink(temp.c_str());
        return fail(e);
    }
    if (std::rename(temp.c_str(), m_path.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        return fail(e);
    }
    result.written = true;
    result.message = kParameterSavedMessage;
    return result;
}

} // namespace orvex
