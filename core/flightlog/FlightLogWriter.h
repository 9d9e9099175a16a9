#pragma once
// Appends the record store to the live flight log file "Hj/<opened-at>.hj".
//
// The file is a plain concatenation of 99-byte records. A flush finds how many whole records the
// file already holds (n = size / 99) and writes records n .. count-1 after them, so a record once
// written is never written again and records that could not be written (directory missing and
// not creatable, disk full, permissions) are written by a later flush. Errors are silent: the
// result only says what happened, for tests and diagnostics.

#include <cstddef>
#include <ctime>
#include <string>

namespace orvex {

class CRecordStore;

inline constexpr int kFlushPeriodMs = 5000;

// "%d%02d%02d%02d%02d%02d.hj" from a broken-down local time.
std::string flightLogFileName(const std::tm& localTime);

class CFlightLogWriter {
  public:
    struct SFlushResult {
        bool ok = false; // the file holds every record of the store
        std::size_t recordsWritten = 0;
    };

    // dir: the "Hj" directory (created at the first flush that needs it).
    void setDirectory(std::string dir) { m_dir = std::move(dir); }
    const std::string& directory() const { return m_dir; }

    // Names the log after the local time at which a link was opened. When a file of that name
    // exists already (a link reopened within the same second, a clock set back), the new records
    // go after the whole records it holds instead of being taken for them.
    void startLog(const std::tm& openedAt);
    void clearLog()
    {
        m_fileName.clear();
        m_baseRecords = 0;
    }
    bool hasLog() const { return !m_fileName.empty(); }
    const std::string& fileName() const { return m_fileName; }
    std::string filePath() const;

    // Writes the records of the store that the file does not hold yet.
    SFlushResult flush(const CRecordStore& store);

  private:
    std::string m_dir;
    std::string m_fileName;
    std::size_t m_baseRecords = 0; // whole records of an earlier log in the same file
};

} // namespace orvex
