#pragma once
// "PhotoData.txt": one line per `$QUZA` photo report, appended unbuffered so that every line is
// on disk as soon as it is written. The file is opened at the first report and stays open until
// close() (program end). When it cannot be opened or written, the operator is told once (the
// result carries the message) and the program goes on; the next report tries again, and after
// a success a later failure is told again.

#include <string>

#include "protocol/DownlinkSink.h"

namespace orvex {

class CPhotoDataFile {
  public:
    struct SResult {
        bool written = false;
        std::string message; // non-empty: show it to the operator (first failure only)
    };

    explicit CPhotoDataFile(std::string path) : m_path(std::move(path)) {}
    ~CPhotoDataFile() { close(); }
    CPhotoDataFile(const CPhotoDataFile&) = delete;
    CPhotoDataFile& operator=(const CPhotoDataFile&) = delete;

    // Appends the line of one photo report ("%3d %11.6f %10.6f %3d %.1f %.1f %4.1f %5.1f\n").
    SResult write(const SPhotoReport& report) { return appendLine(photoDataLine(report)); }
    SResult appendLine(const std::string& line);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }

  private:
    SResult failure(int error);

    std::string m_path;
    int m_fd = -1;
    bool m_failureTold = false;
};

} // namespace orvex
