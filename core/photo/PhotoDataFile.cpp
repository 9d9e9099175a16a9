#include "photo/PhotoDataFile.h"

#include "base/Format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

CPhotoDataFile::SResult CPhotoDataFile::failure(int error)
{
    SResult result;
    if (!m_failureTold) {
        m_failureTold = true;
        result.message =
            strprintf("无法写入照片数据文件 %s：%s。照片位置未记录。", m_path.c_str(), std::strerror(error));
    }
    return result;
}

CPhotoDataFile::SResult CPhotoDataFile::appendLine(const std::string& line)
{
    if (m_fd < 0) {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) return failure(errno);
    }
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            // Reopen at the next report: the file may have been removed or its disk replaced.
            close();
            return failure(e);
        }
        done += std::size_t(n);
    }
    m_failureTold = false;
    SResult ok;
    ok.written = true;
    return ok;
}

void CPhotoDataFile::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

} // namespace orvex
