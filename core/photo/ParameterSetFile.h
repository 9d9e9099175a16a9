#pragma once
// "ParameterSet.txt": the parameter snapshot written from a `$P2T` report. Bytes 4..81 of the
// 83-byte frame are written as unsigned decimal numbers in 8 lines of 6, 9, 10, 10, 10, 10, 11
// and 12 numbers, one space between numbers. Each snapshot replaces the file; it is written
// beside the old one and renamed over it, so a failed write leaves the previous snapshot whole.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex {

inline constexpr std::size_t kP2tFrameSize = 83;
inline constexpr const char* kParameterSavedMessage = "Parameter is successfuly Saved!";

// The file contents for one frame.
std::string parameterSetText(const std::uint8_t* frame);

class CParameterSetFile {
public:
    struct SResult {
        bool written = false;
        std::string message; // the text to show: the success message or the failure
    };

    explicit CParameterSetFile(std::string path) : m_path(std::move(path)) {}
    SResult write(const std::uint8_t* frame, std::size_t size);
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace orvex
