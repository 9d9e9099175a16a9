#include "photo/PhotoDataFile.h"

#include "util/Format.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

namespace {

std::uint32_t u32At(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

float f32At(const std::uint8_t* p)
{
    return std::bit_cast<float>(u32At(p));
}

constexpr double kDegreesPerRadian = 57.295780490442965;

} // namespace

std::string photoDataLine(const std::uint8_t* f)
{
    const int picture = int(std::uint32_t(f[5]) | (std::uint32_t(f[6]) << 8));
    const float longitude = f32At(f + 7);
    const float latitude = f32At(f + 11);
    const int value = std::int32_t(u32At(f + 15));
    const float a = f32At(f + 19);
    const float b = f32At(f + 23);
    const float angle = float(double(f32At(f + 27)) * kDegreesPerRadian);
    const float c = f32At(f + 31);
    return strprintf("%3d %11.6f %10.6f %3d %.1f %.1f %4.1f %5.1f\n", picture, double(longitude), double(latitude),
                     value, double(a), double(b), double(angle), double(c));
}

CPhotoDataFile::SResult CPhotoDataFile::failure(int error)
{
    SResult result;
    if (!m_failureTold) {
        m_failureTold = true;
        result.message = strprintf("无法写入照片数据文件 %s：%s。照片位置未记录。", m_path.c_str(), std::strerror(error));
    }
    return result;
}

CPhotoDataFile::SResult CPhotoDataFile::write(const std::uint8_t* frame, std::size_t size)
{
    if (!frame || size < kQuzaFrameSize)
        return {};
    if (m_fd < 0) {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0)
            return failure(errno);
    }
    const std::string line = photoDataLine(frame);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
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
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace orvex
