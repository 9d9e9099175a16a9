#include "flightlog/RecordStore.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

constexpr std::size_t kFirstCommitBytes = 4096;

float floatAt(const std::uint8_t* p)
{
    const std::uint32_t bits = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                               (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    return std::bit_cast<float>(bits);
}

std::size_t pageSize()
{
    static const std::size_t size = [] {
        const long s = sysconf(_SC_PAGESIZE);
        return s > 0 ? std::size_t(s) : std::size_t(4096);
    }();
    return size;
}

} // namespace

bool recordChecksumOk(const std::uint8_t* record)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < kRecordSize - 1; ++i)
        sum = std::uint8_t(sum + record[i]);
    return sum == record[kRecordSize - 1];
}

bool recordIsEmpty(const std::uint8_t* record)
{
    // Exactly 0.0: -0.0 compares equal to 0.0 as well, as a float comparison does.
    return floatAt(record + 4) == 0.0f && floatAt(record + 8) == 0.0f && floatAt(record + 12) == 0.0f &&
           floatAt(record + 16) == 0.0f;
}

CRecordStore::CRecordStore() = default;

CRecordStore::~CRecordStore()
{
    release();
}

void CRecordStore::release()
{
    for (SRegion& r : m_regions)
        if (r.base) munmap(r.base, r.reserved);
    m_regions.clear();
    if (m_fileView) munmap(m_fileView, m_fileViewBytes);
    m_fileView = nullptr;
    m_fileViewBytes = 0;
    m_held = false;
    m_readOnly = false;
    m_count = 0;
    m_displayIndex = 0;
    m_trackAngles.clear();
    m_trackAngles.shrink_to_fit();
}

bool CRecordStore::addRegion()
{
    SRegion region;
    region.reserved = kStoreRegionBytes;
    void* p = mmap(nullptr, region.reserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return false;
    region.base = static_cast<std::uint8_t*>(p);
    m_regions.push_back(region);
    return true;
}

bool CRecordStore::commit(SRegion& region, std::size_t endOffset)
{
    if (endOffset <= region.committed) return true;
    const std::size_t page = pageSize();
    std::size_t newEnd = (endOffset + page - 1) / page * page;
    if (newEnd > region.reserved) newEnd = region.reserved;
    if (mprotect(region.base + region.committed, newEnd - region.committed, PROT_READ | PROT_WRITE) != 0)
        return false;
    region.committed = newEnd;
    return true;
}

bool CRecordStore::create()
{
    release();
    if (!addRegion()) return false;
    if (!commit(m_regions.front(), kFirstCommitBytes)) {
        release();
        return false;
    }
    m_held = true;
    return true;
}

bool CRecordStore::loadFile(const std::string& path, std::string* error)
{
    release();
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(path + ": " + std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int e = errno;
        close(fd);
        return fail(path + ": " + std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return fail(path + ": " + (S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file"));
    }
    const std::size_t size = std::size_t(st.st_size);
    if (size > 0) {
        void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int e = errno;
            close(fd);
            return fail(path + ": " + std::strerror(e));
        }
        m_fileView = static_cast<std::uint8_t*>(p);
        m_fileViewBytes = size;
    }
    close(fd);
    m_held = true;
    m_readOnly = true;
    m_count = size / kRecordSize;
    return true;
}

bool CRecordStore::append(const std::uint8_t* record)
{
    if (!m_held || m_readOnly) return false;
    const std::size_t regionIndex = m_count / kRecordsPerRegion;
    if (regionIndex >= m_regions.size() && !addRegion()) return false;
    SRegion& region = m_regions[regionIndex];
    const std::size_t offset = (m_count % kRecordsPerRegion) * kRecordSize;
    if (!commit(region, offset + kRecordSize)) return false;
    std::memcpy(region.base + offset, record, kRecordSize);
    ++m_count;
    return true;
}

const std::uint8_t* CRecordStore::record(std::size_t i) const
{
    if (m_readOnly) return m_fileView + i * kRecordSize;
    return m_regions[i / kRecordsPerRegion].base + (i % kRecordsPerRegion) * kRecordSize;
}

std::size_t CRecordStore::contiguousFrom(std::size_t i, std::size_t wanted) const
{
    if (i >= m_count) return 0;
    std::size_t n = m_count - i;
    if (!m_readOnly) {
        const std::size_t leftInRegion = kRecordsPerRegion - i % kRecordsPerRegion;
        if (n > leftInRegion) n = leftInRegion;
    }
    return n < wanted ? n : wanted;
}

void CRecordStore::setTrackAngle(std::size_t index, double degrees)
{
    if (index >= m_trackAngles.size()) m_trackAngles.resize(index + 1, 0.0);
    m_trackAngles[index] = degrees;
}

double CRecordStore::trackAngle(std::size_t index) const
{
    return index < m_trackAngles.size() ? m_trackAngles[index] : 0.0;
}

} // namespace orvex
