#pragma once
// "PhotoData.txt": one line per `$QUZA` photo report, appended unbuffered so that every line is
// on disk as soon as it is written. The file is opened at the first report and stays open until
// close() (program end). When it cannot be opened or written, the operator is told once (the
// result carries the message) and the program goes on; the next report tries again, and after
// a success a later failure is told again.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex {

inline constexpr std::size_t kQuzaFrameSize = 35;

// The line for one 35-byte `$QUZA` frame, "%3d %11.6f %10.6f %3d %.1f %.1f %4.1f %5.1f\n",
// with the angle at bytes 27-30 converted from radians to degrees in single precision.
std::string photoDataLine(const std::uint8_t* frame);

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

    // Appends the line of one frame (size must be at least 35 bytes; shorter frames are refused).
    SResult write(const std::uint8_t* frame, std::size_t size);
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
