#include "flightlog/FlightLogWriter.h"

#include "flightlog/RecordStore.h"
#include "base/Format.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

// Writes the whole buffer at offset; false on any error (including a short write that cannot
// continue).
bool writeAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

} // namespace

std::string flightLogFileName(const std::tm& t)
{
    return strprintf("%d%02d%02d%02d%02d%02d.hj", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                     t.tm_min, t.tm_sec);
}

void CFlightLogWriter::startLog(const std::tm& openedAt)
{
    m_fileName = flightLogFileName(openedAt);
    struct stat st {};
    m_baseRecords = ::stat(filePath().c_str(), &st) == 0 && S_ISREG(st.st_mode)
                        ? std::size_t(st.st_size) / kRecordSize
                        : 0;
}

std::string CFlightLogWriter::filePath() const
{
    if (m_dir.empty()) return m_fileName;
    if (m_dir.back() == '/') return m_dir + m_fileName;
    return m_dir + "/" + m_fileName;
}

CFlightLogWriter::SFlushResult CFlightLogWriter::flush(const CRecordStore& store)
{
    SFlushResult result;
    if (m_fileName.empty() || !store.isHeld()) return result;
    const std::size_t count = store.count();
    if (count == 0) {
        result.ok = true;
        return result;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(m_dir, ec); // an error shows up at the open below
    }
    const int fd = open(filePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return result;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return result;
    }
    // A partial record left by an earlier failed write is overwritten: writing starts at the
    // first incomplete record, not at the end of the file, so records stay on 99-byte bounds.
    const std::size_t inFile = std::size_t(st.st_size) / kRecordSize;
    std::size_t next = inFile > m_baseRecords ? inFile - m_baseRecords : 0;
    bool ok = true;
    while (next < count) {
        const std::size_t n = store.contiguousFrom(next, count - next);
        if (!writeAllAt(fd, store.record(next), n * kRecordSize,
                        off_t((m_baseRecords + next) * kRecordSize))) {
            ok = false;
            break;
        }
        next += n;
        result.recordsWritten += n;
    }
    if (close(fd) != 0) ok = false;
    result.ok = ok;
    return result;
}

} // namespace orvex
